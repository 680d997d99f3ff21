// The card's recording folders, the file names and the ring of 60 continuous files.
#include <gtest/gtest.h>

#include <regex>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "rec_test_util.h"
#include "recorder/q7_util.h"

using namespace rectest;

namespace
{

void touch(const std::string &path)
{
    avitest::writeFile(path, Bytes{1, 2, 3});
}

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Moves the pipeline's clock so that its local time is the given one.
void setLocalTime(int year, int mon, int day, int hour, int min, int sec)
{
    struct tm tm;
    memset(&tm, 0, sizeof(tm));
    tm.tm_year = year - 1900;
    tm.tm_mon = mon - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    time_t want = mktime(&tm);
    q7_set_clock_offset(0);
    struct timeval now;
    q7_gettime(&now);
    q7_set_clock_offset((int64_t)want - (int64_t)now.tv_sec);
}

struct NameCase {
    int camMode;
    const char *name;
};

class ContinuousNames : public testing::TestWithParam<NameCase>
{
};

TEST_P(ContinuousNames, PrefixByModeAndZeroPaddedMinute)
{
    Board board;
    setLocalTime(2013, 7, 5, 9, 3, 41);
    char path[Q7_PATH_LEN];
    q7_make_cont_name(path, sizeof(path), GetParam().camMode);
    q7_set_clock_offset(0);
    EXPECT_EQ(std::string(path), board.cont() + "/" + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Modes, ContinuousNames,
                         testing::Values(NameCase{0, "M_REC_2013_07_05_09_03.avi"},
                                         NameCase{1, "S_REC_2013_07_05_09_03.avi"},
                                         NameCase{2, "REC_2013_07_05_09_03.avi"}));

TEST(SnapshotNames, MainAndSubBySuffixWithSeconds)
{
    Board board;
    setLocalTime(2013, 7, 5, 9, 3, 41);
    char m[Q7_PATH_LEN], s[Q7_PATH_LEN];
    q7_make_snapshot_name(m, sizeof(m), false);
    q7_make_snapshot_name(s, sizeof(s), true);
    q7_set_clock_offset(0);
    EXPECT_EQ(std::string(m), board.photo() + "/IMG_2013_07_05_09_03_41_m.jpeg");
    EXPECT_EQ(std::string(s), board.photo() + "/IMG_2013_07_05_09_03_41_s.jpeg");
}

TEST(SnapshotNames, EveryFieldIsZeroPaddedAtTheStartOfTheYear)
{
    Board board;
    setLocalTime(2026, 1, 2, 3, 4, 5);
    char m[Q7_PATH_LEN];
    q7_make_snapshot_name(m, sizeof(m), false);
    q7_set_clock_offset(0);
    EXPECT_EQ(std::string(m), board.photo() + "/IMG_2026_01_02_03_04_05_m.jpeg");
}

TEST(FileRing, FirstNameGoesToSlotOneAndThe61stDeletesTheFirst)
{
    Board board;
    q7_filelist_clear();
    std::vector<std::string> paths;
    for (int i = 0; i < 61; i++) {
        std::string p = board.cont() + "/f" + std::to_string(i) + ".avi";
        q7_filelist_enter(p.c_str());
        touch(p); // the recorder creates the file after entering its name
        paths.push_back(p);
        if (i == 0) {
            EXPECT_EQ(g_filelist.index, 1u);
        }
    }
    // 60 names fill slots 1..59 and then 0; the 61st reuses slot 1.
    EXPECT_EQ(g_filelist.index, 1u);
    EXPECT_FALSE(exists(paths[0]));
    for (int i = 1; i < 61; i++)
        EXPECT_TRUE(exists(paths[i])) << i;
    EXPECT_EQ(listDir(board.cont()).size(), 60u);
    EXPECT_STREQ(g_filelist.name[1], paths[60].c_str());
    EXPECT_STREQ(g_filelist.name[0], paths[59].c_str());
}

TEST(FileRing, ARepeatedNameKeepsTheNewerFile)
{
    // A clock set back gives a name already in the ring; the file of that name is the newest.
    Board board;
    q7_filelist_clear();
    std::string a = board.cont() + "/a.avi";
    for (int i = 0; i < 61; i++) {
        std::string p = i == 1 ? a : board.cont() + "/f" + std::to_string(i) + ".avi";
        q7_filelist_enter(p.c_str());
        touch(p);
    }
    // Slot 2 held a.avi (entered second); the 61st name went to slot 1, which held f0.
    EXPECT_TRUE(exists(a));
    q7_filelist_enter(a.c_str()); // 62nd goes to slot 2 and deletes the old a.avi ...
    EXPECT_FALSE(exists(a));
    touch(a); // ... before the new one is written
    EXPECT_TRUE(exists(a));
}

TEST(FileRing, DeletingOnAMissingCardFailsSilently)
{
    Board board;
    q7_filelist_clear();
    std::string gone = board.root() + "/nocard/x.avi";
    for (int i = 0; i < 61; i++)
        q7_filelist_enter(i == 0 ? gone.c_str() : "/nonexistent/y.avi");
    EXPECT_EQ(g_filelist.index, 1u);
    EXPECT_STREQ(g_filelist.name[1], "/nonexistent/y.avi");
}

TEST(ContinuousFolder, PreparationDeletesEarlierRecordingsAndEmptiesTheRing)
{
    Board board;
    touch(board.cont() + "/REC_2013_07_05_09_03.avi");
    touch(board.cont() + "/M_REC_2013_07_05_09_04.avi");
    touch(board.event() + "/EVT_2013_07_05_09_03_41.avi");
    touch(board.photo() + "/IMG_2013_07_05_09_03_41_m.jpeg");
    q7_filelist_enter("/somewhere/old.avi");
    q7_prepare_cont_folder();
    EXPECT_TRUE(listDir(board.cont()).empty());
    // The event and photo files accumulate.
    EXPECT_EQ(listDir(board.event()).size(), 1u);
    EXPECT_EQ(listDir(board.photo()).size(), 1u);
    EXPECT_EQ(g_filelist.index, 0u);
    for (int i = 0; i < Q7_FILELIST_SLOTS; i++)
        EXPECT_EQ(g_filelist.name[i][0], '\0');
}

TEST(ContinuousFolder, PreparationCreatesAMissingFolder)
{
    Board board;
    ASSERT_EQ(rmdir(board.cont().c_str()), 0);
    q7_prepare_cont_folder();
    struct stat st;
    ASSERT_EQ(stat(board.cont().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // Event and photo folders are the card's own business.
    ASSERT_EQ(system(("rm -rf '" + board.event() + "'").c_str()), 0);
    q7_prepare_cont_folder();
    EXPECT_FALSE(exists(board.event()));
}

} // namespace

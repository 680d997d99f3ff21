// The card's recording folders, the file names and the ring of 60 continuous files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "rec_test_util.h"
#include "testsupport/console.h"
#include "recorder/q7_util.h"

using namespace rectest;

namespace {

void touch(const std::string &path)
{
    writeFile(path, Bytes{1, 2, 3});
}

size_t countLines(const std::string &text, const std::string &start)
{
    size_t n = 0;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, start.size(), start) == 0)
            n++;
        size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return n;
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
{};

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

TEST(PathNames, APathThatDoesNotFitIsRefusedNeverCut)
{
    char out[8];
    std::string said = printedBy([&] {
        EXPECT_EQ(q7_make_path(out, sizeof(out), "%s/%s", "abc", "def"), 0); // 7 bytes and the end
        EXPECT_STREQ(out, "abc/def");
        EXPECT_EQ(q7_make_path(out, sizeof(out), "%s/%s", "abc", "defg"), -1);
        EXPECT_STREQ(out, "");
    });
    EXPECT_NE(said.find(" [app] err: a path of 8 bytes does not fit its 8-byte buffer, refused"),
              std::string::npos)
        << said;

    // A board root that leaves no room for the names.
    Board board;
    std::string longRoot = board.root() + "/" + std::string(100, 'r');
    ASSERT_EQ(mkdir(longRoot.c_str(), 0755), 0);
    setenv("Q7_ROOT", longRoot.c_str(), 1);
    char path[Q7_PATH_LEN];
    said = printedBy([&] {
        EXPECT_EQ(q7_make_cont_name(path, sizeof(path), 2), -1);
        EXPECT_STREQ(path, "");
        EXPECT_EQ(q7_make_snapshot_name(path, sizeof(path), false), -1);
        EXPECT_STREQ(path, "");
    });
    EXPECT_EQ(countLines(said, " [app] err: a path of "), 2u) << said;
    setenv("Q7_ROOT", board.root().c_str(), 1);
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

TEST(FileRing, ANameEnteredAgainMovesToTheNewestSlot)
{
    // A restart within the minute of the newest file names it again: its older slot lets go of
    // it, so that reusing that slot later does not delete the newer recording.
    Board board;
    q7_filelist_clear();
    std::string again = board.cont() + "/again.avi";
    q7_filelist_enter(again.c_str()); // slot 1
    touch(again);
    ASSERT_EQ(q7_filelist_enter(again.c_str()), 0); // slot 2
    EXPECT_EQ(g_filelist.name[1][0], '\0');
    EXPECT_STREQ(g_filelist.name[2], again.c_str());
    EXPECT_TRUE(exists(again)) << "nothing was in slot 2 to delete";
    // 59 further names come round to slot 1 without deleting it ...
    for (int i = 0; i < 59; i++) {
        std::string p = board.cont() + "/n" + std::to_string(i) + ".avi";
        q7_filelist_enter(p.c_str());
        touch(p);
    }
    EXPECT_EQ(g_filelist.index, 1u);
    EXPECT_TRUE(exists(again));
    // ... and the next one, at slot 2, does: it is the oldest now.
    q7_filelist_enter((board.cont() + "/last.avi").c_str());
    EXPECT_FALSE(exists(again));
}

TEST(FileRing, APathLongerThanASlotIsRefused)
{
    Board board;
    q7_filelist_clear();
    std::string fits = "/" + std::string(Q7_PATH_LEN - 2, 'f');
    std::string over = "/" + std::string(Q7_PATH_LEN - 1, 'o');
    EXPECT_EQ(q7_filelist_enter(fits.c_str()), 0);
    EXPECT_EQ(q7_filelist_enter(over.c_str()), -1);
    EXPECT_EQ(g_filelist.index, 1u);
    EXPECT_STREQ(g_filelist.name[1], fits.c_str());
}

struct MinuteCase {
    const char *name;
    const char *minute; // null: not a continuous name of the recorder
};

TEST(ContinuousNamePatterns, TheRecordersOwnNamesAndTheMinuteTheyCarry)
{
    const MinuteCase cases[] = {
        {"REC_2013_07_05_09_03.avi", "2013_07_05_09_03"},
        {"M_REC_2026_12_31_23_59.avi", "2026_12_31_23_59"},
        {"S_REC_2000_01_01_00_00.avi", "2000_01_01_00_00"},
        {"REC_2013_07_05_09_03.AVI", nullptr},
        {"REC_2013_7_05_09_03.avi", nullptr},
        {"REC_2013_07_05_09_03.avi.part", nullptr},
        {"REC_2013_07_05_09_03_41.avi", nullptr},
        {"X_REC_2013_07_05_09_03.avi", nullptr},
        {"EVT_2013_07_05_09_03_41.avi", nullptr},
        {"REC_2013-07-05-09-03.avi", nullptr},
        {"REC_", nullptr},
        {"", nullptr},
    };
    for (const MinuteCase &c : cases) {
        const char *minute = q7_cont_name_minute(c.name);
        if (c.minute == nullptr) {
            EXPECT_EQ(minute, nullptr) << c.name;
        } else {
            ASSERT_NE(minute, nullptr) << c.name;
            EXPECT_EQ(std::string(minute, 16), c.minute) << c.name;
        }
    }
}

void setMtime(const std::string &path, time_t when)
{
    struct timespec t[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0) << path;
}

TEST(ContinuousFolder, PreparationKeepsEarlierRecordingsAndEntersThemOldestMinuteFirst)
{
    Board board;
    const std::string c = board.cont() + "/";
    // Written out of order; two of one minute, the two-camera file the older.
    for (const char *n :
         {"REC_2013_07_05_09_04.avi", "M_REC_2013_07_05_09_03.avi", "S_REC_2013_07_05_10_00.avi",
          "REC_2012_12_31_23_59.avi", "REC_2013_07_05_09_03.avi"})
        touch(c + n);
    setMtime(c + "REC_2013_07_05_09_03.avi", 1000);
    setMtime(c + "M_REC_2013_07_05_09_03.avi", 2000);
    // Not the recorder's: left alone and out of the ring.
    const std::vector<std::string> others = {"notes.txt", "REC_2013_07_05_09_03.AVI",
                                             "REC_2013_07_05_09_03.avi.part",
                                             "EVT_2013_07_05_09_03_41.avi"};
    for (const std::string &n : others)
        touch(c + n);
    ASSERT_EQ(mkdir((c + "REC_2013_07_05_09_05.avi").c_str(), 0755), 0);
    std::string target = board.root() + "/outside.avi";
    touch(target);
    ASSERT_EQ(symlink(target.c_str(), (c + "REC_2013_07_05_09_06.avi").c_str()), 0);
    touch(board.event() + "/EVT_2013_07_05_09_03_41.avi");
    q7_filelist_enter("/somewhere/old.avi");

    std::string out = printedBy(q7_prepare_cont_folder);
    EXPECT_NE(out.find(" [app] continuous folder: 5 earlier recordings kept, 0 oldest deleted\n"),
              std::string::npos)
        << out;

    EXPECT_EQ(listDir(board.cont()).size(), 5u + others.size() + 2u) << "nothing deleted";
    EXPECT_TRUE(exists(target));
    EXPECT_EQ(listDir(board.event()).size(), 1u);
    const std::vector<std::string> order = {
        "REC_2012_12_31_23_59.avi", "REC_2013_07_05_09_03.avi", "M_REC_2013_07_05_09_03.avi",
        "REC_2013_07_05_09_04.avi", "S_REC_2013_07_05_10_00.avi"};
    EXPECT_EQ(g_filelist.index, 5u);
    EXPECT_EQ(g_filelist.name[0][0], '\0');
    for (size_t i = 0; i < order.size(); i++)
        EXPECT_EQ(std::string(g_filelist.name[i + 1]), c + order[i]) << i;
    for (size_t i = order.size() + 1; i < Q7_FILELIST_SLOTS; i++)
        EXPECT_EQ(g_filelist.name[i][0], '\0') << i;

    // The next minute's name goes after them and deletes nothing.
    q7_filelist_enter((c + "REC_2013_07_05_10_01.avi").c_str());
    EXPECT_EQ(g_filelist.index, 6u);
    EXPECT_TRUE(exists(c + "REC_2012_12_31_23_59.avi"));
}

TEST(ContinuousFolder, AnEmptyFolderLeavesAnEmptyRing)
{
    Board board;
    q7_filelist_enter("/somewhere/old.avi");
    printedBy(q7_prepare_cont_folder);
    EXPECT_EQ(g_filelist.index, 0u);
    for (int i = 0; i < Q7_FILELIST_SLOTS; i++)
        EXPECT_EQ(g_filelist.name[i][0], '\0');
}

TEST(ContinuousFolder, PreparationCreatesAMissingFolder)
{
    Board board;
    ASSERT_EQ(rmdir(board.cont().c_str()), 0);
    q7_filelist_enter("/somewhere/old.avi");
    q7_prepare_cont_folder();
    EXPECT_EQ(g_filelist.index, 0u);
    struct stat st;
    ASSERT_EQ(stat(board.cont().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // Event and photo folders are the card's own business.
    ASSERT_EQ(system(("rm -rf '" + board.event() + "'").c_str()), 0);
    q7_prepare_cont_folder();
    EXPECT_FALSE(exists(board.event()));
}

} // namespace

#include "avi_test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>

using namespace avitest;

namespace {

std::string tool()
{
    const char *t = getenv("Q7AVI");
    return t ? t : "q7avi";
}

std::vector<Chunk> chunks(int frames)
{
    std::vector<AccessUnit> main;
    for (int i = 0; i < frames; i++) {
        Bytes d(500 + (size_t)i, (uint8_t)i);
        d[0] = d[1] = d[2] = 0;
        d[3] = 1;
        d[4] = i % 30 == 0 ? 0x27 : 0x21;
        main.push_back({d, i % 30 == 0});
    }
    return interleave(main, nullptr, true);
}

struct Files {
    TempDir dir;
    std::string complete = dir.file("complete.avi"), cut = dir.file("cut.avi"),
                junk = dir.file("junk.avi"), missing = dir.file("missing.avi");
    Bytes closed;
    Files()
    {
        Bytes atOpen;
        EXPECT_TRUE(writeRecording(complete, recorderParams(true, false), chunks(45), &atOpen));
        closed = readFile(complete);
        auto offs = chunkOffsets(closed);
        writeFile(cut, powerCut(closed, atOpen, offs[30] + 3));
        writeFile(junk, Bytes(200, 'x'));
    }
};

} // namespace

TEST(Q7avi, InfoReportsStreamsCountsAndRepairNeed)
{
    Files f;
    int status = -1;
    std::string out = run("'" + tool() + "' info '" + f.complete + "' '" + f.cut + "'", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(f.complete + ": complete\n  3 streams, 29.970 frames per second\n"
                       "  stream 0: vids H264 1920x1080, 45 frames, 2 key frames\n"
                       "  stream 1: auds, 12 chunks\n  stream 2: txts, 0 chunks\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(f.cut + ": cut short, needs repair\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  stream 0: vids H264 1920x1080, 24 frames, 1 key frames\n  stream 1: auds, 6 chunks\n"), std::string::npos) << out;
    EXPECT_EQ(readFile(f.cut).size(), chunkOffsets(f.closed)[30] + 3); // info writes nothing
}

TEST(Q7avi, InfoFailsOnUnreadableFiles)
{
    Files f;
    int status = -1;
    std::string out = run("'" + tool() + "' info '" + f.junk + "' '" + f.complete + "'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(f.junk + ": cannot be read: Not enough header information.\n"), std::string::npos) << out;
    EXPECT_NE(out.find(f.complete + ": complete"), std::string::npos);
    out = run("'" + tool() + "' info '" + f.missing + "'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(f.missing + ": cannot be read"), std::string::npos) << out;
}

TEST(Q7avi, RepairMakesCutFilesCompleteAndLeavesCompleteOnesAlone)
{
    Files f;
    int status = -1;
    std::string out = run("'" + tool() + "' repair '" + f.cut + "' '" + f.complete + "'", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("     AVIMAINHEADER     "), std::string::npos); // the camera's console report
    EXPECT_NE(out.find("Header info modified!! "), std::string::npos);
    EXPECT_NE(out.find(f.cut + ": repaired\n"), std::string::npos) << out;
    EXPECT_NE(out.find(f.complete + ": complete, left as it is\n"), std::string::npos) << out;
    EXPECT_EQ(readFile(f.complete), f.closed);
    out = run("'" + tool() + "' info '" + f.cut + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find(f.cut + ": complete\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("the header says"), std::string::npos) << out;
}

TEST(Q7avi, RepairFailureIsReportedInTheExitStatus)
{
    Files f;
    int status = -1;
    std::string out = run("'" + tool() + "' repair '" + f.junk + "'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(" WARNING: [" + f.junk + "], file recovery FAIL : Not enough header information.\n!!! \n"),
              std::string::npos)
        << out;
}

TEST(Q7avi, UsageIsRefused)
{
    int status = -1;
    std::string out = run("'" + tool() + "' check x.avi", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("usage: q7avi info FILE..."), std::string::npos);
    run("'" + tool() + "' info", &status);
    EXPECT_EQ(status, 2);
}

// The built q7_app on the simulated board: the main menu's AVI recovery and the decoder
// loopback test reach the AVI library.
#include "avi/avirecover.h"
#include "avi_test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>

using namespace avitest;

namespace {

// Runs q7_app with `input` on standard input and a board root in `dir`; returns what it printed.
std::string runApp(const TempDir &dir, const std::string &input, int *status)
{
    writeFile(dir.file("stdin"), Bytes(input.begin(), input.end()));
    std::string cmd = "mkdir -p '" + dir.path() + "/mmc' && cd '" + dir.path() + "' && Q7_ROOT='" +
                      dir.path() + "' Q7_SIM_LOG='" + dir.file("sim.log") +
                      "' timeout 60 '" Q7_APP_PATH "' < stdin";
    return run(cmd, status);
}

std::vector<Chunk> chunks(int frames)
{
    std::vector<AccessUnit> main;
    for (int i = 0; i < frames; i++) {
        bool key = i % 30 == 0;
        Bytes d =
            key ? Bytes{0, 0, 0, 1, 0x27, 0x42, 0, 0, 0, 1, 0x28, 0xCE, 0, 0, 0, 1, 0x25, 0x88}
                : Bytes{0, 0, 0, 1, 0x21, 0x9A};
        d.resize(300 + (size_t)i, 0x55);
        main.push_back({d, key});
    }
    return interleave(main, nullptr, true);
}

} // namespace

TEST(AviInTheApp, RecoveryFromTheMainMenuRepairsACutFile)
{
    TempDir dir;
    std::string full = dir.file("full.avi"), path = dir.file("cut.avi");
    Bytes atOpen;
    auto c = chunks(60);
    ASSERT_TRUE(writeRecording(full, recorderParams(true, false), c, &atOpen));
    Bytes closed = readFile(full);
    size_t boundary = chunkOffsets(closed)[40];
    writeFile(path, powerCut(closed, atOpen, boundary));
    int status = -1;
    std::string out = runApp(dir, "b\n" + path + "\nb\n" + dir.file("none.avi") + "\n0\n", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Header info modified!! "), std::string::npos) << out;
    EXPECT_NE(out.find(" WARNING: [" + dir.file("none.avi") + "], file recovery FAIL : "),
              std::string::npos);
    AVIRC_INFO info;
    ASSERT_EQ(AVIrcInspect(path.c_str(), &info), 0);
    EXPECT_FALSE(info.needsRepair);
    ASSERT_TRUE(writeRecording(full, recorderParams(true, false),
                               std::vector<Chunk>(c.begin(), c.begin() + 40)));
    EXPECT_TRUE(readFile(path) == readFile(full));
}

TEST(AviInTheApp, DecoderLoopbackPlaysAFile)
{
    TempDir dir;
    std::string path = dir.file("play.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), chunks(600)));
    int status = -1;
    // 5: decoder loopback; in the playback menu 1 starts, 2 stops, 0 leaves; 0 ends the program.
    std::string out = runApp(dir, "5\n1\n" + path + "\n2\n0\n0\n", &status);
    EXPECT_EQ(status, 0) << out;
    size_t at = out.find(" Playback Main Menu\r\n");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NE(out.find("[PLAYBACK] Playback Running...", at), std::string::npos) << out;
    EXPECT_NE(out.find("[PLAYBACK] Playback stop done...", at), std::string::npos) << out;
    std::string log = run("cat '" + dir.file("sim.log") + "'");
    size_t start = log.find("Vdec_start"), stop = log.find("Vdec_stop");
    EXPECT_NE(start, std::string::npos) << log;
    EXPECT_NE(stop, std::string::npos);
    EXPECT_LT(start, stop);
}

// Start-up, arguments, the main menu and its small sub-menus, and console input.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/q7_app_main.h"
#include "platform/console.h"
#include "testsupport/console.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"
#include "platform/sim/sim_board.h"

namespace {

const char kMainMenuTitle[] =
    "\r\n =========\r\n Main Menu\r\n =========\r\n\r\n 0: exit\r\n 1: main";

int runMain(std::vector<std::string> args, const std::string &input, std::string *out)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int rc = -1;
    *out = withConsole(input, [&] { rc = q7_app_main((int)args.size(), argv.data()); });
    return rc;
}

struct ArgCase {
    std::vector<std::string> args;
    uint32_t recordOn;
    uint16_t contRecEnable;
    uint16_t prerecEnable;
};

class Arguments : public ::testing::TestWithParam<ArgCase>
{};

TEST_P(Arguments, SetTheRecordingFlagsAndStayInMenuMode)
{
    BoardRoot root;
    const ArgCase &c = GetParam();
    std::vector<std::string> args = {"q7_app"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string out;
    EXPECT_EQ(runMain(args, "0\n", &out), 0);
    EXPECT_EQ(gApp_cfg.recordOn, c.recordOn);
    EXPECT_EQ(gApp_cfg.contRecEnable, c.contRecEnable);
    EXPECT_EQ(gApp_cfg.prerecEnable, c.prerecEnable);
    EXPECT_EQ(gApp_cfg.frameRate, 30u);
    EXPECT_EQ(gApp_cfg.encEnable, 1);
    EXPECT_EQ(gApp_cfg.jpegEnable, 1);
    EXPECT_EQ(gApp_cfg.bitsEnable, 1);
    EXPECT_EQ(gApp_cfg.audioEnable, 1);
    EXPECT_EQ(gApp_cfg.decEnable, 0);
    EXPECT_EQ(gApp_cfg.subWidth, 0u);
    EXPECT_EQ(gApp_cfg.reserved[0] | gApp_cfg.reserved[1] | gApp_cfg.reserved[2], 0u);
    EXPECT_EQ(countOf(out, kMainMenuTitle), 1u) << "menu mode";
    std::vector<std::string> log = sim_log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "System_init");
    EXPECT_EQ(log.back(), "System_deInit");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Arguments,
    ::testing::Values(ArgCase{{}, 1, 1, 1},                // no arguments: recording on
                      ArgCase{{"0"}, 0, 0, 0},             // first argument 0: nothing recorded
                      ArgCase{{"1"}, 1, 1, 1},             //
                      ArgCase{{"07"}, 0, 0, 0},            // only the first character counts
                      ArgCase{{"1", "0"}, 1, 1, 1},        // second argument 0: menu mode
                      ArgCase{{"0", "0", "1"}, 0, 0, 0})); // no-menu flag alone: still a menu

TEST(MainMenu, UnknownChoicesShowTheMenuAgain)
{
    BoardRoot root;
    std::string out;
    EXPECT_EQ(runMain({"q7_app"}, "4\nd\n\nz\n0\n", &out), 0);
    EXPECT_EQ(countOf(out, kMainMenuTitle), 5u);
    EXPECT_EQ(out.substr(out.size() - 17), "\r\n Enter Choice: ");
}

TEST(MainMenu, EndOfInputEndsTheProgramCleanly)
{
    BoardRoot root;
    std::string out;
    EXPECT_EQ(runMain({"q7_app"}, "", &out), 0);
    EXPECT_EQ(countOf(out, kMainMenuTitle), 1u);
    EXPECT_EQ(sim_log().back(), "System_deInit");
}

TEST(MainMenu, ALongLineActsOnItsFirstCharacterAndDiscardsTheRest)
{
    BoardRoot root;
    std::string out;
    // "c" opens the ENV menu; the rest of the long line must not be read as further choices.
    EXPECT_EQ(runMain({"q7_app"}, "c0123456789\n0\n0\n", &out), 0);
    EXPECT_EQ(countOf(out, " 1: print evn\r\n"), 1u);
    EXPECT_EQ(countOf(out, kMainMenuTitle), 2u);
}

TEST(MainMenu, TheStatusLedStopsBlinking)
{
    BoardRoot root;
    std::string led = root.path() + "/sys/class/leds/status";
    ASSERT_EQ(system(("mkdir -p " + led + " && printf 500 > " + led + "/period").c_str()), 0);
    std::string out;
    runMain({"q7_app"}, "0\n", &out);
    EXPECT_EQ(readText(led + "/period"), "000")
        << "a one-character 0 written over the start of the attribute";
}

TEST(EnvMenu, RunsTheBootEnvironmentToolAndRedisplaysUntilZero)
{
    BoardRoot root;
    // A stand-in for the board's tool that records its arguments.
    std::string bin = root.path() + "/bin";
    std::string calls = root.path() + "/calls";
    ASSERT_EQ(system(("mkdir -p " + bin + " && printf '#!/bin/sh\\necho \"$*\" >> " + calls +
                      "\\n' > " + bin + "/fw_q7env && chmod +x " + bin + "/fw_q7env")
                         .c_str()),
              0);
    std::string oldPath = getenv("PATH");
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    std::string out;
    runMain({"q7_app"}, "c\n1\n2\n3\nx\n0\n0\n", &out);
    setenv("PATH", oldPath.c_str(), 1);

    EXPECT_EQ(countOf(out, "\r\n 0: exit\r\n 1: print evn\r\n 2: print nand_update\r\n"
                           " 3: write nand_update 1\r\n\r\n Enter Choice: "),
              5u);
    EXPECT_EQ(readText(calls), "\n0 nand_update\n1 nand_update 1\n");
}

TEST(AviRecoveryMenu, PassesThePathWithoutItsLineEnd)
{
    BoardRoot root;
    std::string out;
    runMain({"q7_app"}, "b\n/mmc/broken.avi\n0\n", &out);
    EXPECT_NE(out.find(" \n Enter file write path :  \n"), std::string::npos);
    EXPECT_NE(out.find(" WARNING: [/mmc/broken.avi], file recovery FAIL : "), std::string::npos)
        << out;
}

TEST(AudioMenu, VolumeAndMuteDoNothingWhileNothingRuns)
{
    BoardRoot root;
    std::string out;
    runMain({"q7_app"}, "6\n3\n4\n5\n9\n0\n6\n0\n0\n", &out);
    const char menu[] = " 0: exit\n 1: playback run/stop (0)  \n 2: capture  run/stop (0)\n"
                        " 3: volume up\n 4: volume down\n 5: playback mute[on/off]\n";
    EXPECT_EQ(countOf(out, menu), 6u) << out;
    EXPECT_EQ(countOf(out, "\n\r ==========\n Audio Menu \n ==========\n"), 6u);
    EXPECT_EQ(out.find("alsa_set"), std::string::npos) << "no mixer call while nothing runs";
}

struct DataCase {
    const char *input;
    std::vector<int> values;
};

class MenuGetData : public ::testing::TestWithParam<DataCase>
{};

TEST_P(MenuGetData, ReadsDecimalTokensOfAtMostSevenCharacters)
{
    const DataCase &c = GetParam();
    std::vector<int> got;
    withConsole(c.input, [&] {
        for (size_t i = 0; i < c.values.size(); i++)
            got.push_back(menu_get_data());
    });
    EXPECT_EQ(got, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MenuGetData,
    ::testing::Values(DataCase{"15\n", {15}}, DataCase{"0\n", {0}},
                      DataCase{"\n\n  7\n", {7}},           // empty lines are skipped
                      DataCase{"15 0 15\n", {15, 0, 15}},   // several tokens on one line
                      DataCase{"abc\n12\n", {-1, 12}},      // not a number
                      DataCase{"-1\n", {-1}},               // no sign
                      DataCase{"1x\n", {-1}},               //
                      DataCase{"9999999\n", {9999999}},     // seven digits
                      DataCase{"12345678 5\n3\n", {-1, 3}}, // too long: refused, line dropped
                      DataCase{"", {-1, -1}}));             // end of input

TEST(MenuGetCmd, ReturnsTheFirstCharacterAndZeroAtTheEnd)
{
    std::vector<int> got;
    withConsole("2\nabc\n\n", [&] {
        for (int i = 0; i < 4; i++)
            got.push_back(menu_get_cmd());
    });
    EXPECT_EQ(got, (std::vector<int>{'2', 'a', '\n', '0'}));
}

TEST(ReadPath, KeepsTheLastCharacterWhenThereIsNoLineEnd)
{
    char path[128];
    std::string long127(127, 'p');
    withConsole(long127 + "\nnext\n/last", [&] {
        ASSERT_TRUE(menu_read_path(path));
        EXPECT_EQ(std::string(path), long127);
        ASSERT_TRUE(menu_read_path(path));
        EXPECT_STREQ(path, "next");
        ASSERT_TRUE(menu_read_path(path));
        EXPECT_STREQ(path, "/last");
        EXPECT_FALSE(menu_read_path(path));
    });
}

// A path cut at 127 characters, or at a NUL byte, names another file than the one typed: the
// repair would work on that one. Such a line is refused, and the next line is read as usual.
TEST(ReadPath, RefusesALongerLineOrANulByte)
{
    char path[128];
    std::string long127(127, 'p');
    std::string out =
        withConsole(long127 + "X\n/mmc/a" + std::string(1, '\0') + "b.avi\nnext\n", [&] {
            EXPECT_FALSE(menu_read_path(path));
            EXPECT_STREQ(path, "");
            EXPECT_FALSE(menu_read_path(path));
            EXPECT_STREQ(path, "");
            ASSERT_TRUE(menu_read_path(path));
            EXPECT_STREQ(path, "next");
        });
    EXPECT_NE(out.find(" [app] err: the path is longer than 127 characters, refused\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(" [app] err: the path holds a NUL byte, refused\n"), std::string::npos);
}

TEST(AviRecoveryMenu, ARefusedPathRepairsNothing)
{
    BoardRoot root;
    // The first 127 characters name a real file, which a cut path would repair in place.
    std::string cut = root.path() + "/" + std::string(126 - root.path().size(), 'f');
    ASSERT_EQ(cut.size(), 127u);
    ASSERT_TRUE(writeText(cut, "not an AVI file"));
    std::string out;
    runMain({"q7_app"}, "b\n" + cut + "X.avi\n0\n", &out);
    EXPECT_NE(out.find(" [app] err: the path is longer than 127 characters, refused\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << "no repair was tried";
    EXPECT_EQ(countOf(out, kMainMenuTitle), 2u);
}

TEST(MenuLines, ANulByteIsAnOrdinaryCharacter)
{
    // Before, the reader took the NUL for the end of the line and swallowed the next one.
    std::vector<int> got;
    std::string nul(1, '\0');
    withConsole(nul + "\n" + "a" + nul + "b\n" + "7\n", [&] {
        for (int i = 0; i < 4; i++)
            got.push_back(menu_get_cmd());
    });
    EXPECT_EQ(got, (std::vector<int>{'\0', 'a', '7', '0'}));
}

TEST(DeviceMenu, WaitsForZeroThenAsksTheThreadToQuit)
{
    BoardRoot root;
    memset(&dio_cfg, 0, sizeof(dio_cfg));
    std::string out = withConsole("1\n\nx\n0\n", [] { EXPECT_EQ(q7_device_control(8), 0); });
    EXPECT_EQ(countOf(out, "\r\n ===========\r\n Device Menu\r\n ===========\r\n 0: exit\r\n\r\n"
                           " Enter\tChoice:\t"),
              1u);
    EXPECT_EQ(dio_cfg.quit, 1u);
}

TEST(ThreadRecords, AppSetQuitWorksOnAClearedRecord)
{
    ThreadCtrl ctrl;
    memset(&ctrl, 0, sizeof(ctrl));
    EXPECT_EQ(app_set_quit(&ctrl), 0);
    EXPECT_EQ(ctrl.quit, 1u);
    EXPECT_EQ(audio_run(3), 3) << "other choices come back unchanged";
}

} // namespace

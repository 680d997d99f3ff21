// The run-time sub-menus of a camera process driven through standard input, checked against
// what the simulated board was asked to do.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/q7_app_ctrl.h"
#include "app/q7_app_main.h"
#include "app/q7_logo.h"
#include "testsupport/console.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"
#include "app/tools.h"
#include "graphics/draw_gui.h"
#include "graphics/graphic.h"
#include "graphics/ui_text.h"
#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"

namespace {

using Lines = std::vector<std::string>;

// The log lines of the operations that change the running chain (not the status queries).
Lines changes()
{
    Lines out;
    for (const std::string &line : sim_log())
        for (const char *op : {"Vcam_set_video_reg", "Vcap_set_video_reg", "Vsys_setSwOsdPrm",
                               "Venc_setInputFrameRate", "Venc_setDynamicParam",
                               "Vdis_setMosaicParams", "Vcam_set_video_option"})
            if (line.rfind(op, 0) == 0)
                out.push_back(line);
    return out;
}

class RunTime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim_reset();
        System_init();
        sim_reset();
    }
    void TearDown() override { System_deInit(); }
};

// ---- capture menu: frame rates ------------------------------------------------------------

struct RateCase {
    int camMode;
    std::string answer;
    Lines sent;
};

class FrameRates : public RunTime, public ::testing::WithParamInterface<RateCase>
{};

Lines mainRate(int fps, int reg3, int reg4)
{
    const std::string f = std::to_string(fps);
    return {"Vcam_set_video_reg addr=3 value=" + std::to_string(reg3),
            "Vcam_set_video_reg addr=4 value=" + std::to_string(reg4),
            "Vsys_setSwOsdPrm set=3 ch=0 frameRate=" + f, "Venc_setInputFrameRate ch=0 fps=30",
            "Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=" + f};
}

Lines subRate(int fps, std::vector<int> page0, std::vector<int> page2)
{
    Lines l = {"Vcap_set_video_reg dev=0 reg=3 value=0"};
    for (int i = 0; i < 4; i++)
        l.push_back("Vcap_set_video_reg dev=0 reg=" + std::to_string(8 + i) +
                    " value=" + std::to_string(page0[(size_t)i]));
    l.push_back("Vcap_set_video_reg dev=0 reg=3 value=2");
    for (int i = 0; i < 6; i++)
        l.push_back("Vcap_set_video_reg dev=0 reg=" + std::to_string(16 + i) +
                    " value=" + std::to_string(page2[(size_t)i]));
    const std::string f = std::to_string(fps);
    l.push_back("Venc_setInputFrameRate ch=0 fps=" + f);
    l.push_back("Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=" + f);
    return l;
}

TEST_P(FrameRates, WriteTheirRegisters)
{
    const RateCase &c = GetParam();
    const std::string out =
        withConsole("3\n" + c.answer + "\n0\n", [&] { q7_capture_settings(c.camMode); });
    EXPECT_EQ(changes(), c.sent);
    EXPECT_EQ(countOf(out, "selected wrong!"), c.sent.empty() ? 1u : 0u);
    EXPECT_NE(out.find(c.camMode == CAM_MODE_SUB ? "framerate? (30, 20, 15, 10) "
                                                 : "framerate? (30, 15, 10) "),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, FrameRates,
    ::testing::Values(
        RateCase{CAM_MODE_MAIN, "30", mainRate(30, 0x4C, 0x04)},
        RateCase{CAM_MODE_MAIN, "15", mainRate(15, 0x98, 0x08)},
        RateCase{CAM_MODE_BOTH, "10", mainRate(10, 0xE4, 0x0C)}, RateCase{CAM_MODE_MAIN, "20", {}},
        RateCase{CAM_MODE_BOTH, "abc", {}},
        RateCase{CAM_MODE_SUB, "30", subRate(30, {3, 61, 3, 61}, {2, 40, 2, 40, 2, 40})},
        RateCase{CAM_MODE_SUB, "20", subRate(20, {4, 180, 4, 180}, {4, 95, 4, 95, 4, 95})},
        RateCase{CAM_MODE_SUB, "15", subRate(15, {6, 43, 6, 43}, {4, 95, 4, 95, 4, 95})},
        RateCase{CAM_MODE_SUB, "10", subRate(10, {9, 25, 9, 25}, {8, 196, 8, 196, 8, 196})},
        RateCase{CAM_MODE_SUB, "25", {}}, RateCase{CAM_MODE_SUB, "-1", {}}));

// ---- capture menu: the rest -----------------------------------------------------------------

TEST_F(RunTime, MotionSetTogglesOnBothChannels)
{
    const std::string out =
        withConsole("4\n3\n15\n0\n15\n4\n0\n", [] { q7_capture_settings(CAM_MODE_MAIN); });
    EXPECT_EQ(changes(),
              (Lines{"Venc_setDynamicParam ch=0 stream=0 kind=14 enable=1 level=3 mask=0xF0F,0xF0F",
                     "Venc_setDynamicParam ch=1 stream=0 kind=14 enable=1 level=3 mask=0xF0F,0xF0F",
                     "Venc_setDynamicParam ch=0 stream=0 kind=14 enable=0 level=0 mask=0x0,0x0",
                     "Venc_setDynamicParam ch=1 stream=0 kind=14 enable=0 level=0 mask=0x0,0x0"}));
    EXPECT_NE(out.find("motion level? (1:low ~ 5:high) motion block 4x3\n-----------\n"
                       "| 1 2 4 8 |  => 1st Byte\n| 1 2 4 8 |  => 2nd Byte\n"
                       "| 1 2 4 8 |  => 3rd Byte\n-----------\n"
                       "block 1st? (0~15) block 2nd? (0~15) block 3rd? (0~15) "),
              std::string::npos);
    // The menu marks the motion set while it is on.
    EXPECT_EQ(countOf(out, "\r\n*4: motion set"), 1u);
    EXPECT_EQ(countOf(out, "\r\n 4: motion set"), 2u);
    EXPECT_EQ(countOf(out, "motion level?"), 1u);
}

TEST_F(RunTime, MotionAnswersWithoutLimits)
{
    // Used as they are: large blocks wrap in 32 bits, an answer that is no number is -1.
    withConsole("4\n9\n9999999\n9999999\n9999999\n4\n4\nx\nx\nx\nx\n4\n0\n",
                [] { q7_capture_settings(CAM_MODE_MAIN); });
    const Lines sent = sim_log_grep("Venc_setDynamicParam ch=0");
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], "Venc_setDynamicParam ch=0 stream=0 kind=14 enable=1 level=9 "
                       "mask=0xA2B87D6F,0xA2B87D6F");
    EXPECT_EQ(sent[2], "Venc_setDynamicParam ch=0 stream=0 kind=14 enable=1 level=4294967295 "
                       "mask=0xFFFFFEEF,0xFFFFFEEF");
    EXPECT_EQ(sent[3], "Venc_setDynamicParam ch=0 stream=0 kind=14 enable=0 level=0 mask=0x0,0x0");
}

TEST_F(RunTime, CaptureMenuTextAndOtherInput)
{
    const std::string out = withConsole("x\n9\n", [] { q7_capture_settings(CAM_MODE_MAIN); });
    const std::string menu = "\r\n =============\r\n capture Menu\r\n =============\r\n\r\n"
                             " 0: exit\r\n 1: detect video\r\n 2: video option\r\n"
                             " 3: change frame rate\r\n 4: motion set\r\n 5: video sub rw test\r\n"
                             "\r\n Enter\tChoice:\t";
    EXPECT_EQ(out, menu + menu + menu); // the end of input reads as 0
    EXPECT_EQ(changes(), Lines{});
}

TEST_F(RunTime, DetectVideoAsksTheModesCamera)
{
    struct {
        int mode;
        Lines asked;
    } cases[] = {{CAM_MODE_MAIN, {"Vcam_get_camera_status"}},
                 {CAM_MODE_SUB, {"Vcap_get_video_status"}},
                 {CAM_MODE_BOTH, {}}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.mode);
        sim_reset();
        const std::string out = withConsole("1\n0\n", [&] { q7_capture_settings(c.mode); });
        Lines asked;
        for (const std::string &l : sim_log()) {
            const std::string op = l.substr(0, l.find(' '));
            if (op == "Vcam_get_camera_status" || op == "Vcap_get_video_status")
                asked.push_back(op);
        }
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(out.find("err:"), std::string::npos);
    }
}

TEST_F(RunTime, VideoOptionsOfTheMainCamera)
{
    const std::string out = withConsole("2\n1\n5\n2\n0\n3\n7\n4\n300\n65535\n0\n0\n",
                                        [] { q7_capture_settings(CAM_MODE_MAIN); });
    EXPECT_EQ(changes(), (Lines{"Vcam_set_video_option option=1 level=5 sent=1",
                                "Vcam_set_video_option option=3 level=7 sent=3",
                                "Vcam_set_video_reg addr=300 value=65535"}));
    for (const char *q : {"sharpness (1 ~ 7) : ", "brightness (1 ~ 7) : ", "contrast (1 ~ 7) : ",
                          "register address(Dec.) : ", "register value(Dec.) : "})
        EXPECT_NE(out.find(q), std::string::npos) << q;
    EXPECT_EQ(countOf(out, " main cam resolution\r\n"), 5u);

    // The sub camera has no options.
    sim_reset();
    const std::string sub = withConsole("2\n1\n5\n0\n", [] { q7_capture_settings(CAM_MODE_SUB); });
    EXPECT_EQ(sub.find("main cam resolution"), std::string::npos);
    EXPECT_EQ(changes(), Lines{});
}

TEST_F(RunTime, SerialLinkLockBit)
{
    for (int reg : {0x00, 0x7F, 0x80, 0xC3}) {
        SCOPED_TRACE(reg);
        Vcap_set_video_reg(VCAP_DEV_SERIAL_LINK, 4, (uint8_t)reg);
        const std::string out = withConsole("5\n0\n", [] { q7_capture_settings(CAM_MODE_BOTH); });
        EXPECT_NE(out.find(std::string("Serdes Locked = ") + (reg & 0x80 ? "1" : "0") + "\n"),
                  std::string::npos);
    }
}

// ---- encoder menu ---------------------------------------------------------------------------

struct EncoderCase {
    const char *menuChoice;
    const char *question;
    std::vector<std::string> answers;
    Lines sent;
    size_t wrong;
};

class EncoderBounds : public RunTime, public ::testing::WithParamInterface<EncoderCase>
{};

TEST_P(EncoderBounds, SendBelowTheBound)
{
    const EncoderCase &c = GetParam();
    std::string input;
    for (const std::string &a : c.answers)
        input += std::string(c.menuChoice) + "\n" + a + "\n";
    const std::string out = withConsole(input + "0\n", [] { q7_encoder_settings(CAM_MODE_MAIN); });
    EXPECT_EQ(changes(), c.sent);
    EXPECT_EQ(countOf(out, "selected wrong!"), c.wrong);
    EXPECT_EQ(countOf(out, c.question), c.answers.size());
    EXPECT_EQ(countOf(out, " encoder Menu (0)\r\n"), c.answers.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Encoder, EncoderBounds,
    ::testing::Values(EncoderCase{"2",
                                  "ch 0 : framerate? (10...30) ",
                                  {"31", "5", "x"},
                                  {"Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=5",
                                   "Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=-1"},
                                  1},
                      EncoderCase{"3",
                                  "ch 0 : I-frame interval? (10...30) ",
                                  {"30", "31", "100"},
                                  {"Venc_setDynamicParam ch=0 stream=0 kind=2 interval=30"},
                                  2},
                      EncoderCase{"1",
                                  "ch 0 : bitrate? (1...10 Mbps) ",
                                  {"11", "10", "2"},
                                  {"Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=10000000",
                                   "Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=2000000"},
                                  1}));

TEST_F(RunTime, EncoderChannelChoiceInBothMode)
{
    const std::string out =
        withConsole("1\n2\n20\n0\n", [] { q7_encoder_settings(CAM_MODE_BOTH); });
    EXPECT_EQ(out.rfind("choice channel ? Main(0), Sub(1)", 0), 0u);
    EXPECT_NE(out.find(" encoder Menu (1)\r\n"), std::string::npos);
    EXPECT_NE(out.find("ch 1 : framerate? (10...30) "), std::string::npos);
    EXPECT_EQ(changes(), Lines{"Venc_setDynamicParam ch=1 stream=0 kind=1 frameRate=20"});
}

TEST_F(RunTime, EncoderSetParamReturnsZero)
{
    withConsole("40\n", [] { EXPECT_EQ(encoder_set_param(0, VENC_DYN_FRAMERATE), 0); });
    withConsole("12\n", [] { EXPECT_EQ(encoder_set_param(1, VENC_DYN_FRAMERATE), 0); });
    EXPECT_EQ(changes(), Lines{"Venc_setDynamicParam ch=1 stream=0 kind=1 frameRate=12"});
}

// ---- pre-record menu ------------------------------------------------------------------------

TEST_F(RunTime, PrerecordNeedsTheMainCamera)
{
    const std::string out = withConsole("1\n5\n0\n", [] { q7_prerec_test(CAM_MODE_SUB, 30); });
    EXPECT_EQ(out, "pre-recoring test invalid Main camera only!!\n");
}

TEST_F(RunTime, PrerecordDurationLines)
{
    const std::string out =
        withConsole("1\n0\n1\n5\n0\n", [] { q7_prerec_test(CAM_MODE_MAIN, 30); });
    const size_t disabled = out.find("\n pre-recording is disabled sec : 0\n");
    const size_t enabled = out.find("\n pre-recording duration enabled sec : 5\n");
    EXPECT_NE(disabled, std::string::npos);
    EXPECT_NE(enabled, std::string::npos);
    EXPECT_LT(disabled, enabled);
    EXPECT_EQ(countOf(out, "pre-recording Duration(sec) (cur:"), 2u);
    EXPECT_EQ(countOf(out, " pre-rec Menu\r\n"), 3u);
}

TEST_F(RunTime, PrerecordEventStamp)
{
    const std::string out = withConsole("2\n0\n", [] { q7_prerec_test(CAM_MODE_BOTH, 30); });
    EXPECT_TRUE(std::regex_search(
        out, std::regex(" Event On time\\.\\.\\. \\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d\n")))
        << out;
}

// ---- on-screen display menu -----------------------------------------------------------------

TEST_F(RunTime, SwOsdSets)
{
    const std::string out = withConsole("1\n2\n3\n4\n9\n0\n", [] { q7_swosd_test(); });
    EXPECT_EQ(changes(), (Lines{"Vsys_setSwOsdPrm set=6 ch=0 mode=1 colour=7 text=SYSTEM START",
                                "Vsys_setSwOsdPrm set=6 ch=0 mode=2 colour=0 text=SYSTEM STOP",
                                "Vsys_setSwOsdPrm set=6 ch=0 mode=0 colour=0 text=",
                                "Vsys_setSwOsdPrm set=7 ch=0 value=125"}));
    EXPECT_EQ(countOf(out, "\r\n =============\r\n SW OSD Menu\r\n =============\r\n\r\n"
                           " 0: exit\r\n 1: power on\r\n 2: power off\r\n 3: power clear\r\n"
                           " 4: voltage\r\n\r\n Enter Choice: "),
              6u);
}

// ---- mosaic menu ----------------------------------------------------------------------------

const std::string kLayout[5] = {
    "Vdis_setMosaicParams display=3 out=720x480 windows=0 fps=60",
    "Vdis_setMosaicParams display=3 out=720x480 windows=1 win0=16,16,688x448:0 fps=60",
    "Vdis_setMosaicParams display=3 out=720x480 windows=1 win0=16,16,688x448:1 fps=60",
    "Vdis_setMosaicParams display=3 out=720x480 windows=2 win0=16,72,480x336:0 "
    "win1=480,200,224x180:1 fps=60",
    "Vdis_setMosaicParams display=3 out=720x480 windows=2 win0=16,112,344x256:0 "
    "win1=360,112,344x256:1 fps=60",
};

struct MosaicCase {
    int camMode;
    std::string input;
    Lines sent;
};

class Mosaic : public RunTime, public ::testing::WithParamInterface<MosaicCase>
{};

TEST_P(Mosaic, LayoutsOfTheMode)
{
    const MosaicCase &c = GetParam();
    const std::string out = withConsole(c.input, [&] { q7_swMs_test(c.camMode); });
    EXPECT_EQ(changes(), c.sent);
    EXPECT_NE(out.find("\r\n ===============\r\n SW Mosaic Menu\r\n ===============\r\n\r\n"
                       " 0: exit\r\n 1: main 1x1\r\n 2: sub 1x1\r\n 3: 2ch_1 2x2\r\n"
                       " 4: 2ch_2 2x2\r\n\r\n Enter Choice: "),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Display, Mosaic,
    ::testing::Values(MosaicCase{CAM_MODE_MAIN, "3\n4\n1\n0\n", {kLayout[1]}},
                      MosaicCase{CAM_MODE_SUB, "4\n2\n3\n0\n", {kLayout[2]}},
                      MosaicCase{CAM_MODE_BOTH, "3\n4\n0\n", {kLayout[3], kLayout[4]}},
                      MosaicCase{CAM_MODE_DECODER, "4\n9\n0\n", {kLayout[4]}}));

TEST_F(RunTime, LayoutOutsideTheTableSendsOnlyTheCommonFields)
{
    EXPECT_EQ(swMs_set_layout(5), 0);
    EXPECT_EQ(changes(), Lines{kLayout[0]});
}

// ---- graphics -------------------------------------------------------------------------------

std::vector<uint32_t> readPlane(const std::string &path)
{
    return readWords(path, GRPX_WIDTH * GRPX_HEIGHT);
}

class Graphics : public RunTime
{
protected:
    void SetUp() override
    {
        RunTime::SetUp();
        ASSERT_TRUE(writeText(node(), ""));
    }
    void TearDown() override
    {
        grpx_fb_exit();
        RunTime::TearDown();
    }
    std::string node() const { return root.path() + "/dev/fb2"; }
    BoardRoot root;
};

// What the graphic test shows, drawn on a plane in memory.
std::vector<uint32_t> graphicTestPicture()
{
    std::vector<uint32_t> px(GRPX_WIDTH * GRPX_HEIGHT);
    draw_fill_color(px.data(), GRPX_KEY_COLOR);
    draw_img(px.data(), q7_logo_img, DrawRect{32, 24, Q7_LOGO_W, Q7_LOGO_H});
    // 케스트라본 in EUC-KR.
    draw_txt(px.data(), "\xC4\xC9\xBD\xBA\xC6\xAE\xB6\xF3\xBA\xBB KESTRAVON", 540, 440, 0xFFFF00,
             0xFF00FF);
    return px;
}

TEST_F(Graphics, GraphicTestShowsLogoAndNameThenClears)
{
    TypedInput console;
    // The picture is on the plane while the menu waits (drawn here before the menu's thread
    // starts: the text state is one set of globals).
    const std::vector<uint32_t> want = graphicTestPicture();
    bool shown = false;
    std::string out;
    {
        ConsoleCapture capture(stdout);
        std::thread menu([] { EXPECT_EQ(q7_graphic_test(), 0); });
        EXPECT_TRUE(console.type("x\n"));

        std::vector<uint32_t> got;
        for (int i = 0; i < 100 && got != want; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            got = readPlane(node());
        }
        shown = got == want;
        EXPECT_TRUE(console.type("0\n"));
        console.end();
        menu.join();
        out = capture.text();
    }

    EXPECT_TRUE(shown) << "the plane does not show the logo and the name";
    EXPECT_EQ(countOf(out, "\r\n =============\r\n graphic Menu\r\n =============\r\n\r\n"
                           " 0: exit\r\n\r\n Enter\tChoice:\t"),
              2u);
    EXPECT_EQ(grpx_init, 0);
    EXPECT_EQ(readPlane(node()), std::vector<uint32_t>(GRPX_WIDTH * GRPX_HEIGHT, GRPX_KEY_COLOR));
}

TEST_F(Graphics, UiDrawTxtOnlyOnAnOpenPlane)
{
    EXPECT_EQ(ui_draw_txt("2026_12_10_03_00_00_F.avi"), -1);
    ASSERT_EQ(grpx_fb_init(), 0);
    draw_fill_color(grpx_obj.fbAddr, 0x00010101); // what an earlier name left
    EXPECT_EQ(ui_draw_txt("2026_12_10_03_01_00_F.avi"), 0);

    std::vector<uint32_t> want(GRPX_WIDTH * GRPX_HEIGHT, 0x00010101);
    for (int y = 24; y < 124; y++)
        for (int x = 32; x < 48; x++)
            want[(size_t)y * GRPX_WIDTH + x] = 0xFF00FF;
    draw_txt(want.data(), "2026_12_10_03_01_00_F.avi", 32, 24, 0xFFFF00, 0xFF00FF);
    std::vector<uint32_t> got(grpx_obj.fbAddr, grpx_obj.fbAddr + GRPX_WIDTH * GRPX_HEIGHT);
    EXPECT_TRUE(got == want);
}

// What ui_draw_txt shows for a text in KS X 1001, drawn on a plane of `under`.
std::vector<uint32_t> uiText(const char *ks, uint32_t under)
{
    std::vector<uint32_t> want(GRPX_WIDTH * GRPX_HEIGHT, under);
    for (int y = 24; y < 124; y++)
        for (int x = 32; x < 48; x++)
            want[(size_t)y * GRPX_WIDTH + x] = 0xFF00FF;
    draw_txt(want.data(), ks, 32, 24, 0xFFFF00, 0xFF00FF);
    return want;
}

TEST_F(Graphics, UiDrawTxtShowsTheCardsKoreanFolderName)
{
    // The names on the card are UTF-8; the renderer takes KS X 1001 (상시녹화 below).
    ASSERT_EQ(grpx_fb_init(), 0);
    EXPECT_EQ(ui_draw_txt("/mmc/\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94/"
                          "REC_2026_12_10_03_01.avi"),
              0);
    std::vector<uint32_t> want =
        uiText("/mmc/\xBB\xF3\xBD\xC3\xB3\xEC\xC8\xAD/REC_2026_12_10_03_01.avi", GRPX_KEY_COLOR);
    std::vector<uint32_t> got(grpx_obj.fbAddr, grpx_obj.fbAddr + GRPX_WIDTH * GRPX_HEIGHT);
    EXPECT_TRUE(got == want);
    // What the renderer cannot draw is a question mark.
    EXPECT_EQ(ui_draw_txt("caf\xC3\xA9"), 0);
    got.assign(grpx_obj.fbAddr, grpx_obj.fbAddr + GRPX_WIDTH * GRPX_HEIGHT);
    std::vector<uint32_t> over = want;
    for (int y = 24; y < 124; y++)
        for (int x = 32; x < 48; x++)
            over[(size_t)y * GRPX_WIDTH + x] = 0xFF00FF;
    draw_txt(over.data(), "caf?", 32, 24, 0xFFFF00, 0xFF00FF);
    EXPECT_TRUE(got == over);
}

TEST_F(Graphics, ANameMadeBeforeThePlaneOpensIsShownWhenItDoes)
{
    ui_forget_txt();
    ASSERT_EQ(grpx_fb_init(), 0);
    ui_redraw_txt(); // nothing kept: nothing drawn
    std::vector<uint32_t> got(grpx_obj.fbAddr, grpx_obj.fbAddr + GRPX_WIDTH * GRPX_HEIGHT);
    EXPECT_TRUE(got == std::vector<uint32_t>(GRPX_WIDTH * GRPX_HEIGHT, GRPX_KEY_COLOR));
    grpx_fb_exit();

    EXPECT_EQ(ui_draw_txt("REC_2026_12_10_03_02.avi"), -1); // the recorder's first name
    ASSERT_EQ(grpx_fb_init(), 0);
    ui_redraw_txt();
    got.assign(grpx_obj.fbAddr, grpx_obj.fbAddr + GRPX_WIDTH * GRPX_HEIGHT);
    EXPECT_TRUE(got == uiText("REC_2026_12_10_03_02.avi", GRPX_KEY_COLOR));
    ui_forget_txt();
}

TEST_F(Graphics, TheCameraProcessShowsItsFirstFileName)
{
    // The display comes up slowly, as on the board: the recorder names its first file while the
    // chain is still being built, before the plane is open.
    setenv("Q7_SIM_DISPLAY_START_MS", "400", 1);
    memset(&gApp_cfg, 0, sizeof(gApp_cfg));
    gApp_cfg.frameRate = 30;
    gApp_cfg.mainWidth = 1920;
    gApp_cfg.mainHeight = 1080;
    gApp_cfg.encEnable = gApp_cfg.bitsEnable = gApp_cfg.contRecEnable = 1;
    const std::string cont = root.path() + "/mmc/\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94";
    ASSERT_EQ(system(("mkdir -p '" + cont + "'").c_str()), 0);
    std::vector<uint32_t> got;
    std::string out;
    {
        ConsoleCapture capture(stdout);
        ASSERT_EQ(video_run(CAM_MODE_MAIN), 0);
        unsetenv("Q7_SIM_DISPLAY_START_MS");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        got = readPlane(node());
        video_stop(CAM_MODE_MAIN);
        out = capture.text();
    }
    const size_t at = out.find("new filename ");
    ASSERT_NE(at, std::string::npos) << out;
    const std::string name = out.substr(at + 13, out.find('\n', at) - at - 13);
    char ks[128];
    draw_utf8_to_ks(name.c_str(), ks, sizeof(ks));
    EXPECT_TRUE(got == uiText(ks, GRPX_KEY_COLOR)) << "the plane does not show " << name;
}

TEST_F(Graphics, RunTimeMenuReachesEverySubMenu)
{
    memset(&gApp_cfg, 0, sizeof(gApp_cfg));
    gApp_cfg.frameRate = 30;
    gApp_cfg.encEnable = 1;
    const std::string out = withConsole("1\n0\n2\n0\n3\n0\n4\n0\n5\n0\n7\n0\n0\n",
                                        [] { EXPECT_EQ(q7_video_control(CAM_MODE_MAIN, 0), 0); });
    size_t at = 0;
    for (const char *title :
         {" Run-Time Menu\r\n", " capture Menu\r\n", " Run-Time Menu\r\n", " encoder Menu (0)\r\n",
          " Run-Time Menu\r\n", " graphic Menu\r\n", " Run-Time Menu\r\n", " pre-rec Menu\r\n",
          " Run-Time Menu\r\n", " SW OSD Menu\r\n", " Run-Time Menu\r\n", " SW Mosaic Menu\r\n",
          " Run-Time Menu\r\n"}) {
        at = out.find(title, at);
        ASSERT_NE(at, std::string::npos) << title;
        at++;
    }
    for (const char *name : {"q7_capture_settings", "q7_encoder_settings", "q7_graphic_test",
                             "q7_prerec_test", "q7_swosd_test", "q7_swMs_test", "grpx_fb_init"})
        EXPECT_EQ(out.find(std::string(name) + " is not available"), std::string::npos) << name;
    EXPECT_EQ(grpx_init, 0) << "the camera process closed its plane";
}

TEST_F(Graphics, UiDrawTxtWhileThePlaneIsReopened)
{
    // The recorder writes file names from its thread while the menu opens and closes the plane.
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread recorder([&] {
        while (!stop)
            drawn += ui_draw_txt("2026_12_10_03_02_00_F.avi") == 0;
    });
    for (int i = 0; i < 40; i++) {
        ASSERT_EQ(grpx_fb_init(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        grpx_fb_exit();
    }
    stop = true;
    recorder.join();
    EXPECT_GT(drawn.load(), 0);
    EXPECT_EQ(ui_draw_txt("x"), -1);
}

} // namespace

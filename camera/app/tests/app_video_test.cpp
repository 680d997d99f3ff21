// Start and stop of a camera process: the platform calls and the values the program passes,
// as the simulated board logged them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/q7_app_main.h"
#include "testsupport/console.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"
#include "platform/osa.h"
#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"

namespace {

// The configuration main() sets for a recording run.
void configureAsMain()
{
    memset(&gApp_cfg, 0, sizeof(gApp_cfg));
    gApp_cfg.recordOn = 1;
    gApp_cfg.frameRate = 30;
    gApp_cfg.mainWidth = 1920;
    gApp_cfg.mainHeight = 1080;
    gApp_cfg.encEnable = gApp_cfg.jpegEnable = gApp_cfg.bitsEnable = gApp_cfg.audioEnable = 1;
    gApp_cfg.contRecEnable = gApp_cfg.prerecEnable = 1;
}

// The operation names of the log, without the encoder callback registration of the intake.
std::vector<std::string> operations()
{
    std::vector<std::string> ops;
    for (const std::string &line : sim_log()) {
        std::string op = line.substr(0, line.find(' '));
        if (op != "Venc_registerCallback")
            ops.push_back(op);
    }
    return ops;
}

class CameraProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim_reset();
        System_init();
        configureAsMain();
        sim_reset();
    }
    void TearDown() override { System_deInit(); }
    BoardRoot root;
};

const std::vector<std::string> kParamsInit = {"Vsys_params_init", "Vcam_params_init",
                                              "Vcap_params_init", "Venc_params_init",
                                              "Vdec_params_init", "Vdis_params_init"};

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::vector<std::string> kEncoderRates = {"Venc_setInputFrameRate", "Venc_setDynamicParam",
                                                "Venc_setDynamicParam"};
const std::vector<std::string> kTail = {"Vdis_start", "Vsys_setSwOsdPrm", "Vsys_setSwOsdPrm",
                                        "Vsys_dateTime_init"};

TEST_F(CameraProcess, MainCameraOnly)
{
    gApp_cfg.subWidth = gApp_cfg.subHeight = 0;
    ASSERT_EQ(video_run(CAM_MODE_MAIN), 0);
    EXPECT_EQ(operations(),
              concat({{"Vsys_get_device_status"},
                      kParamsInit,
                      {"Vsys_init", "Vcam_init", "Venc_init", "Vdis_init", "Vsys_create",
                       "Vcam_start", "Venc_start", "Vcam_set_video_reg", "Vcam_set_video_reg"},
                      kEncoderRates,
                      kTail}));
    EXPECT_EQ(sim_log_grep("Vsys_init"),
              std::vector<std::string>{
                  "Vsys_init useCase=15 camera=1 capture=0 encode=1 mjpeg=1 tvOut=1"});
    EXPECT_EQ(sim_log_grep("Vcam_init"),
              std::vector<std::string>{"Vcam_init width=1920 height=1080"});
    EXPECT_EQ(sim_log_grep("Vcam_set_video_reg"),
              (std::vector<std::string>{"Vcam_set_video_reg addr=3 value=76",
                                        "Vcam_set_video_reg addr=4 value=4"}));
    EXPECT_EQ(
        sim_log_grep("Venc_set"),
        (std::vector<std::string>{"Venc_setInputFrameRate ch=0 fps=30",
                                  "Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=30",
                                  "Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=10000000"}));
    EXPECT_EQ(
        sim_log_grep("Vsys_setSwOsdPrm"),
        (std::vector<std::string>{"Vsys_setSwOsdPrm set=6 ch=0 mode=1 colour=7 text=SYSTEM START",
                                  "Vsys_setSwOsdPrm set=3 ch=0 frameRate=30"}));
    EXPECT_EQ(gApp_cfg.tvOutOn, 1);

    sim_reset();
    video_stop(CAM_MODE_MAIN);
    EXPECT_EQ(operations(),
              (std::vector<std::string>{"Vcam_stop", "Venc_stop", "Vdis_stop", "Vsys_delete",
                                        "Vdis_exit", "Venc_exit", "Vcam_exit", "Vsys_exit"}));
}

TEST_F(CameraProcess, SubCameraOnly)
{
    gApp_cfg.subWidth = 720;
    gApp_cfg.subHeight = 480;
    ASSERT_EQ(video_run(CAM_MODE_SUB), 0);
    EXPECT_EQ(operations(),
              concat({{"Vsys_get_device_status"},
                      kParamsInit,
                      {"Vsys_init", "Vcap_init", "Venc_init", "Vdis_init", "Vsys_create",
                       "Vcap_start", "Venc_start", "Vcam_set_video_reg", "Vcam_set_video_reg"},
                      kEncoderRates,
                      kTail}));
    EXPECT_EQ(sim_log_grep("Vsys_init"),
              std::vector<std::string>{
                  "Vsys_init useCase=15 camera=0 capture=1 encode=1 mjpeg=1 tvOut=1"});
    EXPECT_EQ(sim_log_grep("Vcap_init"),
              std::vector<std::string>{"Vcap_init width=720 height=480"});

    sim_reset();
    video_stop(CAM_MODE_SUB);
    EXPECT_EQ(operations(),
              (std::vector<std::string>{"Vcap_stop", "Venc_stop", "Vdis_stop", "Vsys_delete",
                                        "Vdis_exit", "Venc_exit", "Vcap_exit", "Vsys_exit"}));
}

TEST_F(CameraProcess, BothCameras)
{
    gApp_cfg.subWidth = 1280;
    gApp_cfg.subHeight = 720;
    ASSERT_EQ(video_run(CAM_MODE_BOTH), 0);
    EXPECT_EQ(operations(), concat({{"Vsys_get_device_status"},
                                    kParamsInit,
                                    {"Vsys_init", "Vcam_init", "Vcap_init", "Venc_init",
                                     "Vdis_init", "Vsys_create", "Vcam_start", "Vcap_start",
                                     "Venc_start", "Vcam_set_video_reg", "Vcam_set_video_reg"},
                                    kEncoderRates,
                                    kEncoderRates,
                                    kTail}));
    EXPECT_EQ(sim_log_grep("Vsys_init"),
              std::vector<std::string>{
                  "Vsys_init useCase=16 camera=0 capture=0 encode=1 mjpeg=1 tvOut=1"});
    EXPECT_EQ(
        sim_log_grep("Venc_set"),
        (std::vector<std::string>{"Venc_setInputFrameRate ch=0 fps=30",
                                  "Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=30",
                                  "Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=10000000",
                                  "Venc_setInputFrameRate ch=1 fps=30",
                                  "Venc_setDynamicParam ch=1 stream=0 kind=1 frameRate=30",
                                  "Venc_setDynamicParam ch=1 stream=0 kind=0 bitRate=2000000"}));
    EXPECT_EQ(sim_log_grep("Venc_start"),
              std::vector<std::string>{"Venc_start ch0=1 ch1=1 ch2=1 ch3=1"});

    // TV out switched off during the run: the stop switches the display on again first.
    gApp_cfg.tvOutOn = 0;
    sim_reset();
    video_stop(CAM_MODE_BOTH);
    EXPECT_EQ(operations(),
              (std::vector<std::string>{"Vcam_stop", "Vcap_stop", "Venc_stop", "Vdis_startDrv",
                                        "Vdis_stop", "Vsys_delete", "Vdis_exit", "Venc_exit",
                                        "Vcam_exit", "Vcap_exit", "Vsys_exit"}));
    EXPECT_EQ(sim_log_grep("Vdis_startDrv"), std::vector<std::string>{"Vdis_startDrv display=3"});
}

TEST_F(CameraProcess, DecoderLoopbackBuildsTheDecoderChainWithoutCameras)
{
    gApp_cfg.decEnable = 1;
    gApp_cfg.encEnable = gApp_cfg.jpegEnable = gApp_cfg.bitsEnable = 0;
    gApp_cfg.contRecEnable = gApp_cfg.audioEnable = 0;
    ASSERT_EQ(video_run(CAM_MODE_DECODER), 0);
    EXPECT_EQ(operations(),
              concat({kParamsInit,
                      {"Vsys_init", "Vdec_init", "Vdis_init", "Vsys_create", "Vdec_start"},
                      kTail}));
    EXPECT_EQ(sim_log_grep("Vsys_init"),
              std::vector<std::string>{
                  "Vsys_init useCase=17 camera=0 capture=0 encode=0 mjpeg=0 tvOut=1"});
    EXPECT_EQ(sim_log_grep("Vdec_init"),
              std::vector<std::string>{"Vdec_init numChn=2 ch0=1920x1080@30 ch1=1280x720@30"});
    sim_reset();
    video_stop(CAM_MODE_DECODER);
    EXPECT_EQ(operations(), (std::vector<std::string>{"Vdec_stop", "Vdis_stop", "Vsys_delete",
                                                      "Vdis_exit", "Vdec_exit", "Vsys_exit"}));
}

struct FrameRateCase {
    uint32_t fps;
    std::vector<std::string> regs;
    uint32_t mainBitRate;
    uint32_t subBitRate;
};

class FrameRates : public CameraProcess, public ::testing::WithParamInterface<FrameRateCase>
{};

TEST_P(FrameRates, SetTheCameraRegistersAndTheBitRates)
{
    const FrameRateCase &c = GetParam();
    gApp_cfg.frameRate = c.fps;
    gApp_cfg.subWidth = 1280;
    gApp_cfg.subHeight = 720;
    ASSERT_EQ(video_run(CAM_MODE_BOTH), 0);
    EXPECT_EQ(sim_log_grep("Vcam_set_video_reg"), c.regs);
    std::string fps = std::to_string(c.fps);
    EXPECT_EQ(
        sim_log_grep("Venc_set"),
        (std::vector<std::string>{
            "Venc_setInputFrameRate ch=0 fps=" + fps,
            "Venc_setDynamicParam ch=0 stream=0 kind=1 frameRate=" + fps,
            "Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=" + std::to_string(c.mainBitRate),
            "Venc_setInputFrameRate ch=1 fps=30",
            "Venc_setDynamicParam ch=1 stream=0 kind=1 frameRate=" + fps,
            "Venc_setDynamicParam ch=1 stream=0 kind=0 bitRate=" + std::to_string(c.subBitRate)}));
    video_stop(CAM_MODE_BOTH);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameRates,
    ::testing::Values(
        FrameRateCase{30,
                      {"Vcam_set_video_reg addr=3 value=76", "Vcam_set_video_reg addr=4 value=4"},
                      10000000,
                      2000000},
        FrameRateCase{25, {"Vcam_set_video_reg addr=4 value=5"}, 8000000, 1000000},
        FrameRateCase{15,
                      {"Vcam_set_video_reg addr=3 value=152", "Vcam_set_video_reg addr=4 value=8"},
                      5000000,
                      1000000},
        FrameRateCase{10,
                      {"Vcam_set_video_reg addr=3 value=228", "Vcam_set_video_reg addr=4 value=12"},
                      3000000,
                      0},
        FrameRateCase{20, {}, 6000000, 1000000}));

struct DeviceFailCase {
    int mode;
    uint32_t subStatus;
    uint32_t mainStatus;
    const char *message; // nullptr: the run goes on
};

class DeviceFailures : public CameraProcess, public ::testing::WithParamInterface<DeviceFailCase>
{};

TEST_P(DeviceFailures, AFailedCameraStopsTheRunBeforeTheChainIsBuilt)
{
    const DeviceFailCase &c = GetParam();
    gApp_cfg.subWidth = 1280;
    gApp_cfg.subHeight = 720;
    sim_set_device_status(c.subStatus, c.mainStatus);
    int rc = 0;
    std::string out = withConsole("", [&] { rc = video_run(c.mode); });
    if (c.message == nullptr) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(out.find("device failed"), std::string::npos);
        video_stop(c.mode);
        return;
    }
    EXPECT_EQ(rc, -1);
    EXPECT_NE(out.find(std::string(c.message) + "\n"), std::string::npos) << out;
    EXPECT_EQ(operations(), std::vector<std::string>{"Vsys_get_device_status"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceFailures,
    ::testing::Values(
        DeviceFailCase{CAM_MODE_MAIN, 0, 1, " [app] err: main camera device failed!!!"},
        DeviceFailCase{CAM_MODE_MAIN, 1, 0, nullptr}, // mode 0 does not need the sub camera
        DeviceFailCase{CAM_MODE_SUB, 1, 0, " [app] err: sub camera device failed!!!"},
        DeviceFailCase{CAM_MODE_SUB, 1, 1, " [app] err: main camera device failed!!!"},
        DeviceFailCase{CAM_MODE_BOTH, 1, 0, " [app] err: sub camera device failed!!!"}));

TEST_F(CameraProcess, SubResolutionAnswerChoosesTheSubCameraSize)
{
    struct {
        const char *answer;
        uint32_t w, h;
    } cases[] = {{"2\n", 720, 480},
                 {"1\n", 1280, 720},
                 {"3\n", 1280, 720},
                 {"x\n", 1280, 720},
                 {"\n\n2\n", 720, 480}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.answer);
        configureAsMain();
        std::string out = withConsole(std::string(c.answer) + "0\n",
                                      [] { EXPECT_EQ(q7_video_control(CAM_MODE_SUB, 0), 0); });
        EXPECT_NE(out.find("sub cam resolution?\n(1.720p, 2.d1) : "), std::string::npos);
        EXPECT_EQ(gApp_cfg.subWidth, c.w);
        EXPECT_EQ(gApp_cfg.subHeight, c.h);
        EXPECT_EQ(gApp_cfg.mainWidth, 1920u);
    }
}

TEST_F(CameraProcess, RunTimeMenuTogglesTvOutAndStops)
{
    // The attribute exists on the board; it is written, never created.
    std::string attr = root.path() + "/sys/devices/platform/vpss/display2";
    ASSERT_EQ(system(("mkdir -p " + attr + " && printf 1 > " + attr + "/enabled").c_str()), 0);
    std::string out = withConsole("9\n8\n8\n8\n0\n", [] { q7_video_control(CAM_MODE_MAIN, 0); });
    EXPECT_EQ(
        countOf(out, "\r\n =============\r\n Run-Time Menu\r\n =============\r\n\r\n 0: stop"), 5u);
    std::vector<std::string> drv;
    for (const std::string &op : operations())
        if (op.find("Drv") != std::string::npos || op == "Vdis_stop")
            drv.push_back(op);
    // off, on, off during the run; the stop switches it on again before the display stops.
    EXPECT_EQ(drv, (std::vector<std::string>{"Vdis_stopDrv", "Vdis_startDrv", "Vdis_stopDrv",
                                             "Vdis_startDrv", "Vdis_stop"}));
    EXPECT_EQ(readText(attr + "/enabled"), "1\n");
    EXPECT_EQ(operations().back(), "Vsys_exit");
}

TEST_F(CameraProcess, TvOutWithoutItsAttributeCreatesNothing)
{
    std::string attr = root.path() + "/sys/devices/platform/vpss/display2";
    ASSERT_EQ(system(("mkdir -p " + attr).c_str()), 0);
    withConsole("8\n8\n0\n", [] { q7_video_control(CAM_MODE_MAIN, 0); });
    EXPECT_NE(access((attr + "/enabled").c_str(), F_OK), 0);
    EXPECT_EQ(operations().back(), "Vsys_exit");
}

TEST_F(CameraProcess, DecoderLoopbackLeavesTheRecordingOffForLaterRuns)
{
    withConsole("0\n", [] { EXPECT_EQ(q7_video_control(CAM_MODE_DECODER, 0), 0); });
    EXPECT_EQ(gApp_cfg.decEnable, 1);
    EXPECT_EQ(gApp_cfg.encEnable | gApp_cfg.jpegEnable | gApp_cfg.bitsEnable |
                  gApp_cfg.contRecEnable | gApp_cfg.audioEnable,
              0);
    sim_reset();
    withConsole("0\n", [] { EXPECT_EQ(q7_video_control(CAM_MODE_MAIN, 0), 0); });
    EXPECT_TRUE(sim_log_grep("Venc_init").empty());
    EXPECT_EQ(sim_log_grep("Vsys_init"),
              std::vector<std::string>{
                  "Vsys_init useCase=15 camera=1 capture=0 encode=0 mjpeg=0 tvOut=1"});
}

TEST_F(CameraProcess, EventHandlerReportsVideoAndMotion)
{
    std::string out = withConsole("", [] {
        for (uint32_t ev : {0u, 2u, 3u, 1u, 7u})
            EXPECT_EQ(q7_eventHandler(ev, nullptr), 0);
    });
    EXPECT_EQ(out,
              "sub-cam : detected video\nmain-cam : detected motion\nsub-cam : detected motion\n");

    // The board sends the video status event once the chain runs and the handler is there.
    out = withConsole("", [] {
        ASSERT_EQ(video_run(CAM_MODE_MAIN), 0);
        System_linkRegisterEventHandler(q7_eventHandler, nullptr);
        OSA_waitMsecs(400);
        video_stop(CAM_MODE_MAIN);
    });
    EXPECT_EQ(countOf(out, "sub-cam : detected video\n"), 1u) << out;
}

} // namespace

#include "app/q7_app_ctrl.h"

#include <stdio.h>
#include <string.h>

#include "app/q7_app_main.h"
#include "platform/console.h"
#include "platform/video_platform.h"

namespace {

// Motion detection of both encoder channels.
int motion_en = 0;

const char kCaptureMenu[] = "\r\n =============\r\n capture Menu\r\n =============\r\n\r\n"
                            " 0: exit\r\n 1: detect video\r\n 2: video option\r\n"
                            " 3: change frame rate\r\n%s4: motion set\r\n 5: video sub rw test\r\n"
                            "\r\n Enter\tChoice:\t";
const char kOptionMenu[] = "\r\n ===================\r\n main cam resolution\r\n"
                           " ===================\r\n\r\n 0: exit\r\n 1: sharpness\r\n"
                           " 2: brightness\r\n 3: contrast\r\n 4: sensor register\r\n\r\n"
                           " Enter Choice: ";
const char kEncoderMenu[] = "\r\n ===================\r\n encoder Menu (%s)\r\n"
                            " ===================\r\n\r\n 0: exit\r\n 1: Change bitrate\r\n"
                            " 2: Change framerate\r\n 3: Change I-frame interval\r\n\r\n"
                            " Enter\tChoice:\t";

// Main camera frame-rate registers: 3 and 4.
struct MainRate {
    int fps;
    uint16_t reg3, reg4;
};
const MainRate kMainRates[] = {{30, 0x4C, 0x04}, {15, 0x98, 0x08}, {10, 0xE4, 0x0C}};

// Sub camera frame-rate registers: page 0 registers 8-11, page 2 registers 16-21.
struct SubRate {
    int fps;
    uint8_t page0[4];
    uint8_t page2[6];
};
const SubRate kSubRates[] = {
    {30, {3, 61, 3, 61}, {2, 40, 2, 40, 2, 40}},
    {20, {4, 180, 4, 180}, {4, 95, 4, 95, 4, 95}},
    {15, {6, 43, 6, 43}, {4, 95, 4, 95, 4, 95}},
    {10, {9, 25, 9, 25}, {8, 196, 8, 196, 8, 196}},
};
const uint8_t kPageRegister = 3;

void sendFrameRate(int channel, int fps)
{
    VENC_DYNPARAMS_S prm;
    memset(&prm, 0, sizeof(prm));
    prm.frameRate = (uint32_t)fps;
    Venc_setDynamicParam(channel, 0, &prm, VENC_DYN_FRAMERATE);
}

void setMainFrameRate(int fps)
{
    for (const MainRate &r : kMainRates) {
        if (r.fps != fps)
            continue;
        uint16_t addr = 3, value = r.reg3;
        Vcam_set_video_reg(&addr, &value);
        addr = 4;
        value = r.reg4;
        Vcam_set_video_reg(&addr, &value);

        VSYS_SWOSD_PRM osd;
        memset(&osd, 0, sizeof(osd));
        osd.chId = 0;
        osd.frameRate = (uint32_t)fps;
        Vsys_setSwOsdPrm(VSYS_SWOSD_SET_FRAMERATE, &osd);
        Venc_setInputFrameRate(0, 30);
        sendFrameRate(0, fps);
        return;
    }
    puts("selected wrong!");
}

void setSubFrameRate(int fps)
{
    for (const SubRate &r : kSubRates) {
        if (r.fps != fps)
            continue;
        Vcap_set_video_reg(VCAP_DEV_VIDEO_DECODER, kPageRegister, 0);
        for (int i = 0; i < 4; i++)
            Vcap_set_video_reg(VCAP_DEV_VIDEO_DECODER, (uint8_t)(8 + i), r.page0[i]);
        Vcap_set_video_reg(VCAP_DEV_VIDEO_DECODER, kPageRegister, 2);
        for (int i = 0; i < 6; i++)
            Vcap_set_video_reg(VCAP_DEV_VIDEO_DECODER, (uint8_t)(16 + i), r.page2[i]);
        Venc_setInputFrameRate(0, fps);
        sendFrameRate(0, fps);
        return;
    }
    puts("selected wrong!");
}

void videoOptions(void)
{
    for (;;) {
        const int choice = menu_prompt_cmd(kOptionMenu);
        switch (choice) {
        case '0':
            return;
        case '1':
        case '2':
        case '3': {
            static const char *const questions[] = {
                "sharpness (1 ~ 7) : ", "brightness (1 ~ 7) : ", "contrast (1 ~ 7) : "};
            const int level = menu_prompt_data(questions[choice - '1']);
            if (level != 0 && Vcam_set_video_option(choice, level) < 0)
                puts(" [app] err: Vcam_set_video_option (main)");
            break;
        }
        case '4': {
            uint16_t addr = (uint16_t)menu_prompt_data("register address(Dec.) : ");
            uint16_t value = (uint16_t)menu_prompt_data("register value(Dec.) : ");
            if (Vcam_set_video_reg(&addr, &value) < 0)
                puts(" [app] err: video_set_reg (main)");
            break;
        }
        default:
            break;
        }
    }
}

void toggleMotion(void)
{
    VENC_DYNPARAMS_S prm;
    memset(&prm, 0, sizeof(prm));
    if (motion_en == 0) {
        const int level = menu_prompt_data("motion level? (1:low ~ 5:high) ");
        puts("motion block 4x3");
        puts("-----------");
        puts("| 1 2 4 8 |  => 1st Byte");
        puts("| 1 2 4 8 |  => 2nd Byte");
        puts("| 1 2 4 8 |  => 3rd Byte");
        puts("-----------");
        const int first = menu_prompt_data("block 1st? (0~15) ");
        const int second = menu_prompt_data("block 2nd? (0~15) ");
        const int third = menu_prompt_data("block 3rd? (0~15) ");
        // Unsigned arithmetic: the answers have no range limit and must not overflow.
        const uint32_t mask = (uint32_t)first * 256u + (uint32_t)second * 16u + (uint32_t)third;
        prm.mdEnable = 1;
        prm.mdLevel = (uint32_t)level;
        prm.mdBlockMask[0] = mask;
        prm.mdBlockMask[1] = mask;
    }
    motion_en = 1 - motion_en;
    Venc_setDynamicParam(0, 0, &prm, VENC_DYN_MOTION);
    Venc_setDynamicParam(1, 0, &prm, VENC_DYN_MOTION);
}

} // namespace

int q7_capture_settings(int camMode)
{
    const int mode =
        (camMode == CAM_MODE_MAIN || camMode == CAM_MODE_SUB) ? camMode : CAM_MODE_BOTH;
    const bool mainCam = mode != CAM_MODE_SUB;
    for (;;) {
        printf(kCaptureMenu, motion_en == 1 ? "*" : " ");
        fflush(stdout);
        switch (menu_get_cmd()) {
        case '0':
            return 0;
        case '1': {
            uint32_t status = 0;
            if (mode == CAM_MODE_MAIN && Vcam_get_camera_status(&status) < 0)
                puts(" [app] err: Vcam_get_camera_status");
            else if (mode == CAM_MODE_SUB && Vcap_get_video_status(&status) < 0)
                puts(" [app] err: Vcap_get_video_status");
            break;
        }
        case '2':
            if (mainCam)
                videoOptions();
            break;
        case '3':
            if (mainCam)
                setMainFrameRate(menu_prompt_data("framerate? (30, 15, 10) "));
            else
                setSubFrameRate(menu_prompt_data("framerate? (30, 20, 15, 10) "));
            break;
        case '4':
            toggleMotion();
            break;
        case '5': {
            uint8_t value = 0;
            Vcap_get_video_reg(VCAP_DEV_SERIAL_LINK, 4, &value);
            printf("Serdes Locked = %d\n", (value >> 7) & 1);
            break;
        }
        default:
            break;
        }
    }
}

int q7_encoder_settings(int camMode)
{
    int channel = 0;
    if (camMode == CAM_MODE_BOTH)
        channel = menu_prompt_data("choice channel ? Main(0), Sub(1)");
    for (;;) {
        printf(kEncoderMenu, channel == 0 ? "0" : "1");
        fflush(stdout);
        switch (menu_get_cmd()) {
        case '0':
            return 0;
        case '1':
            encoder_set_param(channel, VENC_DYN_BITRATE);
            break;
        case '2':
            encoder_set_param(channel, VENC_DYN_FRAMERATE);
            break;
        case '3':
            encoder_set_param(channel, VENC_DYN_IFRAME_INTERVAL);
            break;
        default:
            break;
        }
    }
}

int encoder_set_param(int channel, int kind)
{
    VENC_DYNPARAMS_S prm;
    memset(&prm, 0, sizeof(prm));
    char question[64];
    int bound;
    switch (kind) {
    case VENC_DYN_FRAMERATE:
        snprintf(question, sizeof(question), "ch %d : framerate? (10...30) ", channel);
        bound = 31;
        break;
    case VENC_DYN_IFRAME_INTERVAL:
        snprintf(question, sizeof(question), "ch %d : I-frame interval? (10...30) ", channel);
        bound = 31;
        break;
    case VENC_DYN_BITRATE:
        snprintf(question, sizeof(question), "ch %d : bitrate? (1...10 Mbps) ", channel);
        bound = 11;
        break;
    default:
        return 0;
    }
    const int value = menu_prompt_data(question);
    if (value >= bound) {
        puts("selected wrong!");
        return 0;
    }
    if (kind == VENC_DYN_FRAMERATE)
        prm.frameRate = (uint32_t)value;
    else if (kind == VENC_DYN_IFRAME_INTERVAL)
        prm.intraFrameInterval = (uint32_t)value;
    else
        prm.targetBitRate = (uint32_t)(value * 1000000);
    Venc_setDynamicParam(channel, 0, &prm, kind);
    return 0;
}

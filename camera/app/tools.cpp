#include "app/tools.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include "app/q7_app_main.h"
#include "app/q7_logo.h"
#include "graphics/draw_gui.h"
#include "graphics/graphic.h"
#include "platform/console.h"
#include "platform/osa.h"
#include "platform/video_platform.h"
#include "recorder/q7_ipc_bits.h"

namespace {

// The maker's name in Korean (EUC-KR) and in Latin letters.
const char kMakerName[] = "\xC4\xC9\xBD\xBA\xC6\xAE\xB6\xF3\xBA\xBB KESTRAVON";

const char kGraphicMenu[] = "\r\n =============\r\n graphic Menu\r\n =============\r\n\r\n"
                            " 0: exit\r\n\r\n Enter\tChoice:\t";
const char kPrerecMenu[] = "\r\n =============\r\n pre-rec Menu\r\n =============\r\n\r\n"
                           " 0: exit\r\n 1: set pre record time\r\n 2: set event on\r\n\r\n"
                           " Enter Choice: ";
const char kSwOsdMenu[] = "\r\n =============\r\n SW OSD Menu\r\n =============\r\n\r\n"
                          " 0: exit\r\n 1: power on\r\n 2: power off\r\n 3: power clear\r\n"
                          " 4: voltage\r\n\r\n Enter Choice: ";
const char kSwMsMenu[] = "\r\n ===============\r\n SW Mosaic Menu\r\n ===============\r\n\r\n"
                         " 0: exit\r\n 1: main 1x1\r\n 2: sub 1x1\r\n 3: 2ch_1 2x2\r\n"
                         " 4: 2ch_2 2x2\r\n\r\n Enter Choice: ";

struct MosaicWindow {
    uint32_t x, y, w, h, channel;
};

struct MosaicLayout {
    uint32_t count;
    MosaicWindow win[2];
};

// Layouts 1 to 4 on the 720 x 480 output of the second display.
const MosaicLayout kLayouts[4] = {
    {1, {{16, 16, 688, 448, 0}}},
    {1, {{16, 16, 688, 448, 1}}},
    {2, {{16, 72, 480, 336, 0}, {480, 200, 224, 180, 1}}},
    {2, {{16, 112, 344, 256, 0}, {360, 112, 344, 256, 1}}},
};

void setOsdText(uint32_t mode, uint32_t colour, const char *text)
{
    VSYS_SWOSD_PRM prm;
    memset(&prm, 0, sizeof(prm));
    prm.chId = 0;
    prm.mode = mode;
    prm.colour = colour;
    prm.text = text;
    Vsys_setSwOsdPrm(VSYS_SWOSD_SET_TEXT, &prm);
}

} // namespace

int q7_graphic_test(void)
{
    grpx_fb_init();
    OSA_mutexLock(&grpx_lock);
    draw_img(grpx_obj.fbAddr, q7_logo_img, DrawRect{32, 24, Q7_LOGO_W, Q7_LOGO_H});
    draw_txt(grpx_obj.fbAddr, kMakerName, 540, 440, GRPX_TEXT_COLOR, GRPX_KEY_COLOR);
    OSA_mutexUnlock(&grpx_lock);
    while (menu_prompt_cmd(kGraphicMenu) != '0') {
    }
    OSA_mutexLock(&grpx_lock);
    draw_fill_color(grpx_obj.fbAddr, GRPX_KEY_COLOR);
    OSA_mutexUnlock(&grpx_lock);
    grpx_fb_exit();
    return 0;
}

int q7_prerec_test(int camMode, int frameRate)
{
    if (camMode == CAM_MODE_SUB) {
        puts("pre-recoring test invalid Main camera only!!");
        return 0;
    }
    for (;;) {
        switch (menu_prompt_cmd(kPrerecMenu)) {
        case '0':
            return 0;
        case '1': {
            printf("pre-recording Duration(sec) (cur:%d) ? (00...15)", q7_getPrerecDuration());
            fflush(stdout);
            int seconds = menu_get_data();
            if (seconds != 0)
                printf("\n pre-recording duration enabled sec : %d\n", seconds);
            else
                printf("\n pre-recording is disabled sec : %d\n", seconds);
            q7_setPrerecDuration(seconds);
            break;
        }
        case '2': {
            char stamp[64];
            time_t now = time(nullptr);
            struct tm local;
            localtime_r(&now, &local);
            strftime(stamp, sizeof(stamp), "%Y_%2m_%2d_%2H_%2M_%2S", &local);
            printf(" Event On time... %s\n", stamp);
            q7_setEvent(frameRate);
            break;
        }
        default:
            break;
        }
    }
}

int q7_swosd_test(void)
{
    for (;;) {
        switch (menu_prompt_cmd(kSwOsdMenu)) {
        case '0':
            return 0;
        case '1':
            setOsdText(1, 7, "SYSTEM START");
            break;
        case '2':
            setOsdText(2, 0, "SYSTEM STOP");
            break;
        case '3':
            setOsdText(0, 0, ""); // no text: the display clears it
            break;
        case '4': {
            VSYS_SWOSD_PRM prm;
            memset(&prm, 0, sizeof(prm));
            prm.chId = 0;
            prm.value = 125;
            Vsys_setSwOsdPrm(VSYS_SWOSD_SET_VALUE, &prm);
            break;
        }
        default:
            break;
        }
    }
}

int q7_swMs_test(int camMode)
{
    const bool bothChannels = camMode == CAM_MODE_BOTH || camMode == CAM_MODE_DECODER;
    for (;;) {
        switch (menu_prompt_cmd(kSwMsMenu)) {
        case '0':
            return 0;
        case '1':
            swMs_set_layout(1);
            break;
        case '2':
            swMs_set_layout(2);
            break;
        case '3':
            if (bothChannels)
                swMs_set_layout(3);
            break;
        case '4':
            if (bothChannels)
                swMs_set_layout(4);
            break;
        default:
            break;
        }
    }
}

int swMs_set_layout(int layout)
{
    VDIS_MOSAIC_S prm;
    memset(&prm, 0, sizeof(prm));
    prm.displayWidth = 720;
    prm.displayHeight = 480;
    prm.outputFPS = 60;
    if (layout >= 1 && layout <= 4) {
        const MosaicLayout &l = kLayouts[layout - 1];
        prm.numberOfWindows = l.count;
        for (uint32_t i = 0; i < l.count; i++) {
            prm.winList[i] = VDIS_MOSAIC_WIN_S{l.win[i].x, l.win[i].y, l.win[i].w, l.win[i].h};
            prm.chnMap[i] = l.win[i].channel;
        }
    }
    Vdis_setMosaicParams(VDIS_DEV_SD, &prm);
    OSA_waitMsecs(1000);
    return 0;
}

#include "app/q7_app_main.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "app/q7_app_ctrl.h"
#include "app/tools.h"
#include "audio/alsa_playback.h"
#include "audio/alsa_record.h"
#include "audio/alsa_wrapper.h"
#include "audio/q7_audio_capture.h"
#include "app/q7_avi_playback.h"
#include "avi/udavi.h"
#include "devices/bma.h"
#include "devices/dio_if.h"
#include "devices/gps.h"
#include "devices/key.h"
#include "graphics/graphic.h"
#include "graphics/ui_text.h"
#include "platform/board_path.h"
#include "platform/console.h"
#include "platform/video_platform.h"
#include "recorder/q7_ipc_bits.h"

APP_CFG gApp_cfg;

ThreadCtrl gps_cfg;
ThreadCtrl bma_cfg;
ThreadCtrl dio_cfg;
ThreadCtrl key_cfg;
ThreadCtrl snd_play_cfg;
ThreadCtrl snd_rec_cfg;

namespace {

const char kMainMenu[] = "\r\n =========\r\n Main Menu\r\n =========\r\n\r\n 0: exit\r\n"
                         " 1: main camera process\r\n 2: sub  camera process\r\n"
                         " 3: all  camera process\r\n 5: decoder loopback test\r\n"
                         " 6: audio capture/playback\r\n 7: GPS RMC\r\n"
                         " 8: triaxial acceleration sensor\r\n 9: dio test\r\n a: key test\r\n"
                         " b: AVI recovery\r\n c: ENV change\r\n\r\n Enter Choice: ";

const char kEnvMenu[] = "\r\n =========\r\n Main Menu\r\n =========\r\n\r\n 0: exit\r\n"
                        " 1: print evn\r\n 2: print nand_update\r\n 3: write nand_update 1\r\n"
                        "\r\n Enter Choice: ";

const char kRunTimeMenu[] = "\r\n =============\r\n Run-Time Menu\r\n =============\r\n\r\n"
                            " 0: stop\r\n 1: capture setting\r\n 2: encoder setting\r\n"
                            " 3: graphic_tseting\r\n 4: pre-record_tseting\r\n"
                            " 5: swosd testing\r\n 6: snapshoot\r\n 7: sw mosaic testing\r\n"
                            " 8: tv-out on/off\r\n\r\n Enter Choice: ";

const char kDeviceMenu[] = "\r\n ===========\r\n Device Menu\r\n ===========\r\n 0: exit\r\n\r\n"
                           " Enter\tChoice:\t";

const char kDisplay2Enabled[] = "/sys/devices/platform/vpss/display2/enabled";

uint32_t g_noMenu = 0;

// The second display's attribute takes what `echo 0|1 >` would write; a board without it (a PC)
// fails silently.
void setTvOut(int on)
{
    if (on) {
        board_write_attr(kDisplay2Enabled, "1\n");
        Vdis_startDrv(VDIS_DEV_SD);
    } else {
        Vdis_stopDrv(VDIS_DEV_SD);
        board_write_attr(kDisplay2Enabled, "0\n");
    }
}

// Main camera frame-rate registers (address, value), written in this order.
void writeMainFrameRateRegisters(uint32_t frameRate)
{
    static const struct {
        uint32_t fps;
        uint16_t regs[2][2];
        int count;
    } table[] = {
        {30, {{3, 0x4C}, {4, 0x04}}, 2},
        {25, {{4, 0x05}, {0, 0}}, 1},
        {15, {{3, 0x98}, {4, 0x08}}, 2},
        {10, {{3, 0xE4}, {4, 0x0C}}, 2},
    };
    for (const auto &row : table) {
        if (row.fps != frameRate)
            continue;
        for (int i = 0; i < row.count; i++) {
            uint16_t addr = row.regs[i][0];
            uint16_t value = row.regs[i][1];
            Vcam_set_video_reg(&addr, &value);
        }
    }
}

void setEncoderRate(int channel, uint32_t frameRate, uint32_t bitRate)
{
    VENC_DYNPARAMS_S prm;
    memset(&prm, 0, sizeof(prm));
    prm.frameRate = frameRate;
    Venc_setDynamicParam(channel, 0, &prm, VENC_DYN_FRAMERATE);
    memset(&prm, 0, sizeof(prm));
    prm.targetBitRate = bitRate;
    Venc_setDynamicParam(channel, 0, &prm, VENC_DYN_BITRATE);
}

void audioMenu()
{
    bool playing = false;
    bool capturing = false;
    bool muted = false;
    int playVolume = 0;
    int capVolume = 0;

    for (;;) {
        puts("\n\r ==========");
        puts(" Audio Menu ");
        puts(" ==========");
        printf(" 0: exit\n%s1: playback run/stop (%d) %s\n%s2: capture  run/stop (%d)\n"
               " 3: volume up\n 4: volume down\n 5: playback mute[on/off]\n",
               playing ? "*" : " ", playVolume, muted ? "mute" : " ", capturing ? "*" : " ",
               capVolume);
        puts("Enter Choice: ");
        fflush(stdout);

        char choice = menu_get_cmd();
        switch (choice) {
        case '0':
            if (playing)
                app_set_quit(&snd_play_cfg);
            if (capturing)
                app_set_quit(&snd_rec_cfg);
            board_shell("sync");
            return;
        case '1':
            if (capturing)
                break;
            if (playing) {
                thr_ctrl_set_quit(&snd_play_cfg);
                sleep(1);
                playing = false;
            } else if (sound_playback_thrCreate(&snd_play_cfg) == 0) {
                alsa_get_volume(0, &playVolume);
                playing = true;
            }
            capturing = false;
            break;
        case '2':
            if (playing)
                break;
            if (capturing) {
                thr_ctrl_set_quit(&snd_rec_cfg);
                sleep(1);
                capturing = false;
            } else if (snd_record_thrCreate(&snd_rec_cfg) == 0) {
                alsa_get_volume(1, &capVolume);
                capturing = true;
            }
            break;
        case '3':
        case '4': {
            if (!playing && !capturing)
                break;
            // Device 1 is the capture side, device 0 the playback side.
            int device = capturing ? 1 : 0;
            int *volume = capturing ? &capVolume : &playVolume;
            *volume += choice == '3' ? 5 : -5;
            if (*volume > 100)
                *volume = 100;
            if (*volume < 0)
                *volume = 0;
            alsa_set_volume(device, *volume);
            break;
        }
        case '5':
            if (!playing && !capturing)
                break;
            muted = !muted;
            alsa_set_playback_mute(muted ? 1 : 0);
            break;
        default:
            break;
        }
    }
}

void aviRecovery()
{
    puts(" ");
    menu_prompt(" Enter file write path : ");
    char path[128];
    bool got = menu_read_path(path);
    puts(" ");
    if (got) {
        if (LIBAVI_recoverFile(path) < 0)
            printf(" WARNING: [%s], file recovery FAIL : %s!!! \n", path,
                   LIBAVI_recoverGetErrMsg());
    }
    board_shell("sync");
    puts(" ");
}

void envChange()
{
    for (;;) {
        menu_prompt(kEnvMenu);
        char line[8];
        if (!menu_read_line(line))
            return;
        switch (line[0]) {
        case '0':
            return;
        case '1':
            board_shell("fw_q7env");
            break;
        case '2':
            board_shell("fw_q7env 0 nand_update");
            break;
        case '3':
            board_shell("fw_q7env 1 nand_update 1");
            break;
        default:
            break;
        }
    }
}

void stopStatusLed()
{
    // glibc reads the board's historical "rw+" as "r+": open for update, never create.
    FILE *f = fopen(board_path("/sys/class/leds/status/period").c_str(), "r+");
    if (f == nullptr)
        return;
    fputs("0", f);
    fclose(f);
}

} // namespace

int app_set_quit(ThreadCtrl *ctrl)
{
    return thr_ctrl_set_quit(ctrl);
}

int audio_run(int choice)
{
    if (choice == 4)
        return snd_record_thrCreate(&snd_rec_cfg);
    if (choice == 5)
        return sound_playback_thrCreate(&snd_play_cfg);
    return choice;
}

void audio_stop(int choice)
{
    if (choice == 4)
        thr_ctrl_set_quit(&snd_rec_cfg);
    else if (choice == 5)
        thr_ctrl_set_quit(&snd_play_cfg);
}

int q7_eventHandler(uint32_t eventId, void *)
{
    switch (eventId) {
    case SYSTEM_EVENT_VIDEO_STATUS_CHANGE: {
        uint32_t signal = 0;
        Vcap_get_video_status(&signal);
        puts(signal ? "sub-cam : detected video" : "sub-cam : no video");
        break;
    }
    case SYSTEM_EVENT_MAIN_MOTION:
        puts("main-cam : detected motion");
        break;
    case SYSTEM_EVENT_SUB_MOTION:
        puts("sub-cam : detected motion");
        break;
    default:
        break;
    }
    return 0;
}

int video_run(int camMode)
{
    APP_CFG &cfg = gApp_cfg;
    const bool mainCam = camMode == CAM_MODE_MAIN || camMode == CAM_MODE_BOTH;
    const bool subCam = camMode == CAM_MODE_SUB || camMode == CAM_MODE_BOTH;

    cfg.tvOutOn = 1;

    if (camMode != CAM_MODE_DECODER) {
        uint32_t subStatus = 0;
        uint32_t mainStatus = 0;
        Vsys_get_device_status(&subStatus, &mainStatus);
        if (mainStatus != 0) {
            puts(" [app] err: main camera device failed!!!");
            return -1;
        }
        if (camMode != CAM_MODE_MAIN && subStatus != 0) {
            puts(" [app] err: sub camera device failed!!!");
            return -1;
        }
    }

    VSYS_PARAMS_S vsysPrm;
    VCAM_PARAMS_S vcamPrm;
    VCAP_PARAMS_S vcapPrm;
    VENC_PARAMS_S vencPrm;
    VDEC_PARAMS_S vdecPrm;
    VDIS_PARAMS_S vdisPrm;
    Vsys_params_init(&vsysPrm);
    Vcam_params_init(&vcamPrm);
    Vcap_params_init(&vcapPrm);
    Venc_params_init(&vencPrm);
    Vdec_params_init(&vdecPrm);
    Vdis_params_init(&vdisPrm);

    switch (camMode) {
    case CAM_MODE_MAIN:
        vsysPrm.systemUseCase = VSYS_USECASE_SINGLE_STREAM;
        vsysPrm.enableCamera = 1;
        break;
    case CAM_MODE_SUB:
        vsysPrm.systemUseCase = VSYS_USECASE_SINGLE_STREAM;
        vsysPrm.enableCapture = 1;
        break;
    case CAM_MODE_BOTH:
        vsysPrm.systemUseCase = VSYS_USECASE_DUAL_STREAM_CAPTURE;
        break;
    default:
        vsysPrm.systemUseCase = VSYS_USECASE_DUAL_STREAM_DECODER;
        break;
    }
    vsysPrm.enableEncode = cfg.encEnable;
    vsysPrm.enableMjpeg = cfg.jpegEnable;
    vsysPrm.enableTvOut = cfg.tvOutOn;
    Vsys_init(&vsysPrm);

    vcamPrm.width = cfg.mainWidth;
    vcamPrm.height = cfg.mainHeight;
    vcapPrm.width = cfg.subWidth;
    vcapPrm.height = cfg.subHeight;
    if (mainCam)
        Vcam_init(&vcamPrm);
    if (subCam)
        Vcap_init(&vcapPrm);

    if (cfg.encEnable) {
        // Channel 0 is the recorded stream (the sub camera's in mode 1), channel 1 the sub
        // stream of mode 2; channels 2 and 3 are the JPEG snapshots.
        vencPrm.numPrimaryChn = camMode == CAM_MODE_BOTH ? 2 : 1;
        vencPrm.enableMjpeg = cfg.jpegEnable;
        vencPrm.chn[0].width = camMode == CAM_MODE_SUB ? cfg.subWidth : cfg.mainWidth;
        vencPrm.chn[0].height = camMode == CAM_MODE_SUB ? cfg.subHeight : cfg.mainHeight;
        vencPrm.chn[0].frameRate = cfg.frameRate;
        if (camMode == CAM_MODE_BOTH) {
            vencPrm.chn[1].width = cfg.subWidth;
            vencPrm.chn[1].height = cfg.subHeight;
            vencPrm.chn[1].frameRate = cfg.frameRate;
        }
        Venc_init(&vencPrm);
    }
    if (cfg.decEnable) {
        vdecPrm.numChn = 2;
        vdecPrm.chn[0] = {1920, 1080, 30};
        vdecPrm.chn[1] = {1280, 720, 30};
        Vdec_init(&vdecPrm);
    }
    vdisPrm.enableTvOut = cfg.tvOutOn;
    Vdis_init(&vdisPrm);

    // The intake must be ready before the chain produces data. Its first file name comes before
    // the plane opens, and is drawn once it has.
    ui_forget_txt();
    if (cfg.bitsEnable)
        q7_ipcBitsInit(camMode, &cfg);

    Vsys_create();

    if (mainCam)
        Vcam_start();
    if (subCam)
        Vcap_start();

    if (cfg.encEnable) {
        Venc_start();
        writeMainFrameRateRegisters(cfg.frameRate);
        Venc_setInputFrameRate(0, (int)cfg.frameRate);
        setEncoderRate(0, cfg.frameRate, (cfg.frameRate / 3) * 1000000);
        if (camMode == CAM_MODE_BOTH) {
            Venc_setInputFrameRate(1, 30);
            setEncoderRate(1, cfg.frameRate, (cfg.frameRate / 15) * 1000000);
        }
    }

    if (cfg.decEnable)
        Vdec_start();
    Vdis_start();
    if (cfg.audioEnable)
        Audio_capture_start();

    VSYS_SWOSD_PRM osd;
    memset(&osd, 0, sizeof(osd));
    osd.chId = 0;
    osd.text = "SYSTEM START";
    osd.mode = 1;
    osd.colour = 7;
    Vsys_setSwOsdPrm(VSYS_SWOSD_SET_TEXT, &osd);
    memset(&osd, 0, sizeof(osd));
    osd.chId = 0;
    osd.frameRate = cfg.frameRate;
    Vsys_setSwOsdPrm(VSYS_SWOSD_SET_FRAMERATE, &osd);
    Vsys_dateTime_init();
    if (grpx_fb_init() == 0)
        ui_redraw_txt();
    return 0;
}

int video_stop(int camMode)
{
    APP_CFG &cfg = gApp_cfg;
    const bool mainCam = camMode == CAM_MODE_MAIN || camMode == CAM_MODE_BOTH;
    const bool subCam = camMode == CAM_MODE_SUB || camMode == CAM_MODE_BOTH;

    grpx_fb_exit();
    if (cfg.bitsEnable)
        q7_ipcBitsStop();
    if (cfg.audioEnable)
        Audio_capture_stop();
    if (mainCam)
        Vcam_stop();
    if (subCam)
        Vcap_stop();
    if (cfg.encEnable)
        Venc_stop();
    if (cfg.decEnable)
        Vdec_stop();
    if (cfg.tvOutOn == 0) {
        board_write_attr(kDisplay2Enabled, "1\n");
        Vdis_startDrv(VDIS_DEV_SD);
    }
    Vdis_stop();
    Vsys_delete();
    if (cfg.bitsEnable)
        q7_ipcBitsExit();
    Vdis_exit();
    if (cfg.encEnable)
        Venc_exit();
    if (cfg.decEnable)
        Vdec_exit();
    if (mainCam)
        Vcam_exit();
    if (subCam)
        Vcap_exit();
    return Vsys_exit();
}

int q7_video_control(int camMode, uint32_t noMenu)
{
    APP_CFG &cfg = gApp_cfg;
    cfg.mainWidth = 1920;
    cfg.mainHeight = 1080;

    if (camMode == CAM_MODE_SUB || camMode == CAM_MODE_BOTH) {
        if (menu_prompt_data("sub cam resolution?\n(1.720p, 2.d1) : ") == 2) {
            cfg.subWidth = 720;
            cfg.subHeight = 480;
        } else {
            cfg.subWidth = 1280;
            cfg.subHeight = 720;
        }
    }

    if (camMode == CAM_MODE_DECODER) {
        cfg.decEnable = 1;
        cfg.encEnable = 0;
        cfg.jpegEnable = 0;
        cfg.bitsEnable = 0;
        cfg.contRecEnable = 0;
        cfg.audioEnable = 0;
    }

    if (video_run(camMode) < 0)
        return -1;
    System_linkRegisterEventHandler(q7_eventHandler, nullptr);

    if (camMode == CAM_MODE_DECODER) {
        pb_main();
        video_stop(camMode);
        return 0;
    }

    if (noMenu) {
        // Runs until the process is killed.
        for (;;)
            pause();
    }

    for (;;) {
        switch (menu_prompt_cmd(kRunTimeMenu)) {
        case '0':
            video_stop(camMode);
            return 0;
        case '1':
            q7_capture_settings(camMode);
            break;
        case '2':
            q7_encoder_settings(camMode);
            break;
        case '3':
            q7_graphic_test();
            break;
        case '4':
            q7_prerec_test(camMode, (int)cfg.frameRate);
            break;
        case '5':
            q7_swosd_test();
            break;
        case '6':
            q7_setSnapshoot();
            break;
        case '7':
            q7_swMs_test(camMode);
            break;
        case '8':
            cfg.tvOutOn = cfg.tvOutOn ? 0 : 1;
            setTvOut(cfg.tvOutOn);
            break;
        default:
            break;
        }
    }
}

int q7_device_control(int choice)
{
    ThreadCtrl *ctrl;
    int status;
    switch (choice) {
    case 6:
        ctrl = &gps_cfg;
        status = gps_thr_create(ctrl);
        break;
    case 7:
        ctrl = &bma_cfg;
        status = bma_thr_create(ctrl);
        break;
    case 8:
        ctrl = &dio_cfg;
        status = dio_thr_create(ctrl);
        break;
    case 9:
        ctrl = &key_cfg;
        status = key_thr_create(ctrl);
        break;
    default:
        return 0;
    }
    // No test runs when its previous run would not end: back to the main menu (said there).
    if (status != OSA_SOK)
        return 0;

    menu_prompt(kDeviceMenu);
    while (menu_get_cmd() != '0') {
    }
    thr_ctrl_set_quit(ctrl);
    return 0;
}

int q7_main(int camMode)
{
    gApp_cfg.mainWidth = 1920;
    gApp_cfg.mainHeight = 1080;
    // Unattended, nobody answers the resolution question: the sub camera records at 720p, the
    // size event files declare.
    if (camMode == CAM_MODE_SUB || camMode == CAM_MODE_BOTH) {
        gApp_cfg.subWidth = 1280;
        gApp_cfg.subHeight = 720;
    }
    int key;
    do {
        if (video_run(camMode) < 0)
            return -1;
        System_linkRegisterEventHandler(q7_eventHandler, nullptr);
        swMs_set_layout(2);
        // A key device that is missing or fails does not stop the recording: the reader tries it
        // again every second until KEY_F1 is pressed.
        key = key_main_retrying(&key_cfg);
        video_stop(camMode);
    } while (key == 0);
    return key;
}

int q7_app_main(int argc, char **argv)
{
    System_init();
    stopStatusLed();

    APP_CFG &cfg = gApp_cfg;
    memset(&cfg, 0, sizeof(cfg));
    cfg.recordOn = 1;
    ThreadCtrl *records[] = {&gps_cfg, &bma_cfg, &dio_cfg, &key_cfg, &snd_play_cfg, &snd_rec_cfg};
    for (ThreadCtrl *r : records)
        memset(r, 0, sizeof(*r));

    bool automatic = false;
    g_noMenu = 0;
    if (argc >= 2 && argv[1][0] == '0')
        cfg.recordOn = 0;
    if (argc >= 3)
        automatic = argv[2][0] != '0';
    if (argc >= 4)
        g_noMenu = argv[3][0] == '1' ? 1 : 0;

    cfg.contRecEnable = (uint16_t)cfg.recordOn;
    cfg.prerecEnable = (uint16_t)cfg.recordOn;
    cfg.encEnable = 1;
    cfg.jpegEnable = 1;
    cfg.bitsEnable = 1;
    cfg.audioEnable = 1;
    cfg.frameRate = 30;

    if (automatic) {
        q7_main(CAM_MODE_BOTH);
        System_deInit();
        return 0;
    }

    for (;;) {
        switch (menu_prompt_cmd(kMainMenu)) {
        case '0':
            System_deInit();
            return 0;
        case '1':
            q7_video_control(CAM_MODE_MAIN, g_noMenu);
            break;
        case '2':
            q7_video_control(CAM_MODE_SUB, g_noMenu);
            break;
        case '3':
            q7_video_control(CAM_MODE_BOTH, g_noMenu);
            break;
        case '5':
            q7_video_control(CAM_MODE_DECODER, g_noMenu);
            break;
        case '6':
            audioMenu();
            break;
        case '7':
            q7_device_control(6);
            break;
        case '8':
            q7_device_control(7);
            break;
        case '9':
            q7_device_control(8);
            break;
        case 'a':
            q7_device_control(9);
            break;
        case 'b':
            aviRecovery();
            break;
        case 'c':
            envChange();
            break;
        default:
            break;
        }
    }
}

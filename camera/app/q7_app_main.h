// Entry of q7_app: the global configuration, the device/sound thread records, the main menu,
// and the start and stop of a camera process.
#pragma once

#include <stdint.h>

#include "platform/osa.h"
#include "recorder/q7_app_cfg.h"
#include "platform/thread_ctrl.h"

extern APP_CFG gApp_cfg;

extern ThreadCtrl gps_cfg;
extern ThreadCtrl bma_cfg;
extern ThreadCtrl dio_cfg;
extern ThreadCtrl key_cfg;
extern ThreadCtrl snd_play_cfg;
extern ThreadCtrl snd_rec_cfg;

// The program's main(): start-up, arguments, then the automatic run or the main menu.
int q7_app_main(int argc, char **argv);

int q7_main(int camMode);
int video_run(int camMode);
int video_stop(int camMode);
int q7_video_control(int camMode, uint32_t noMenu);
int q7_device_control(int choice);
int q7_eventHandler(uint32_t eventId, void *appData);
int app_set_quit(ThreadCtrl *ctrl);
int audio_run(int choice);
void audio_stop(int choice);

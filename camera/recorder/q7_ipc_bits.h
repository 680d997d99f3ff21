// Intake of encoded frames, the recorder thread and the audio intake.
#pragma once

#include "app/q7_app_main.h"

int q7_ipcBitsInit(int camMode, APP_CFG *cfg);
int q7_ipcBitsStop(void);
int q7_ipcBitsExit(void);
int q7_setSnapshoot(void);
int q7_setEvent(int frameRate);
int q7_setPrerecDuration(int seconds);
int q7_getPrerecDuration(void);

// Audio test player thread.
#pragma once

#include "app/q7_app_main.h"

int sound_playback_thrCreate(ThreadCtrl *ctrl);

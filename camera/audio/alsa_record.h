// Audio test recorder thread.
#pragma once

#include "app/q7_app_main.h"

int snd_record_thrCreate(ThreadCtrl *ctrl);

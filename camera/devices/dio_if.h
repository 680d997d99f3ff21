// Digital output test thread.
#pragma once

#include "app/q7_app_main.h"

int dio_thr_create(ThreadCtrl *ctrl);

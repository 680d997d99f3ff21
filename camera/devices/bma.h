// Accelerometer test thread.
#pragma once

#include "app/q7_app_main.h"

int bma_thr_create(ThreadCtrl *ctrl);

// GPS receiver test thread.
#pragma once

#include "app/q7_app_main.h"

int gps_thr_create(ThreadCtrl *ctrl);

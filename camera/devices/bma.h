// Accelerometer test thread: prints the three axes the sensor's input device reports.
#pragma once

#include <linux/input.h>
#include <stdint.h>

#include "platform/thread_ctrl.h"

// The latest value of each axis.
struct BMA_AXES {
    int32_t x;
    int32_t y;
    int32_t z;
};

// Takes one input event: an absolute axis event (codes 0, 1, 2) sets an axis, a synchronisation
// report prints the three axes and gives 1; everything else changes nothing and gives 0.
int bma_handle_event(BMA_AXES *axes, const struct input_event *ev);

// The thread body. Returns 0.
int bma_main(ThreadCtrl *ctrl);
int bma_exit(int fd);
int bma_thr_create(ThreadCtrl *ctrl);

// The configuration of a camera process: the app fills it in from its arguments and menus, and
// the recorder is started with it.
#pragma once

#include <stdint.h>

// Camera process modes.
enum {
    CAM_MODE_MAIN = 0,
    CAM_MODE_SUB = 1,
    CAM_MODE_BOTH = 2,
    CAM_MODE_DECODER = 3,
};

struct APP_CFG {
    uint32_t recordOn;
    uint32_t reserved[3];
    uint32_t frameRate;
    uint32_t mainWidth;
    uint32_t mainHeight;
    uint32_t subWidth;
    uint32_t subHeight;
    uint16_t encEnable;
    uint16_t decEnable;
    uint16_t jpegEnable;
    uint16_t contRecEnable;
    uint16_t bitsEnable;
    uint16_t audioEnable;
    uint16_t prerecEnable;
    uint16_t tvOutOn;
};

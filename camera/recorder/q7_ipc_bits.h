// Intake of encoded frames, the recorder thread and the audio intake.
#pragma once

#include "app/q7_app_main.h"

// Descriptor of one pool buffer of the intake: its leading fields mean what the platform's
// encoded buffer descriptor's do, in the same order. 92 bytes on the board.
struct BITS_BUF_INFO {
    uint32_t chnId;
    uint32_t codecType;
    uint32_t frameType; // 0 key frame
    uint32_t filledBufSize;
    uint8_t *bufVirtAddr; // the pool buffer's memory
    uint32_t frameWidth;
    uint32_t frameHeight;
    uint32_t timestamp;
    uint32_t reserved[13];
    uint32_t bufSize; // size of the memory area
    int32_t next;     // free-list link, -1 for none
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(BITS_BUF_INFO) == 92, "pool buffer descriptor is 92 bytes");
#endif

int q7_ipcBitsInit(int camMode, APP_CFG *cfg);
int q7_ipcBitsStop(void);
int q7_ipcBitsExit(void);
int q7_setSnapshoot(void);
int q7_setEvent(int frameRate);
int q7_setPrerecDuration(int seconds);
int q7_getPrerecDuration(void);

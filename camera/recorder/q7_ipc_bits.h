// Intake of encoded frames, the recorder thread and the audio intake.
#pragma once

#include <atomic>

#include "platform/osa.h"
#include "platform/video_platform.h"
#include "recorder/q7_app_cfg.h"

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

#define IPCBITS_POOL_SLOTS 10 // slot 9 owns no memory and ends the free list
#define IPCBITS_POOL_BUFS 9
#define IPCBITS_QUE_LEN 10
#define IPCBITS_AUD_BUF_SIZE 131072

// One buffer pool: its free list is guarded by its own mutex.
struct BITS_BUF_POOL {
    OSA_MutexHndl lock;
    int32_t head; // first free slot; above 9 when the list is empty
    BITS_BUF_INFO slot[IPCBITS_POOL_SLOTS];
};

extern BITS_BUF_POOL g_bufInfoTblVid;
extern BITS_BUF_POOL g_bufInfoTblAud;

enum { IPCBITS_THR_INTAKE = 0, IPCBITS_THR_RECORD = 1, IPCBITS_THR_AUDIO = 2, IPCBITS_THR_NUM = 3 };

struct Q7_IPCBITS_CTRL {
    char aviPath[128];
    uint16_t fileChangePending;
    uint16_t jpegEnable;
    uint16_t contRecEnable;
    uint16_t audioEnable;
    std::atomic<uint16_t> snapshotReq; // set by the menu thread, cleared by the intake
    uint32_t mainWidth;
    uint32_t mainHeight;
    uint32_t subWidth;
    uint32_t subHeight;
    uint32_t camMode;
    uint32_t frameRate;
    std::atomic<int32_t> prerecSec; // written by the menu thread, read by the recorder
    int32_t lastMinute;
    uint32_t videoStarted;
    OSA_ThrHndl thr[IPCBITS_THR_NUM];
    OSA_QueHndl vidFullQue;
    OSA_QueHndl vidEmptyQue;
    OSA_QueHndl audFullQue;
    OSA_QueHndl audEmptyQue;
    OSA_SemHndl bitsSem;
    OSA_SemHndl recordSem;
    std::atomic<uint16_t> stop[IPCBITS_THR_NUM];
    std::atomic<uint16_t> done[IPCBITS_THR_NUM];
};

extern Q7_IPCBITS_CTRL gQ7_ipcBitsCtrl;

int q7_ipcBitsInit(int camMode, APP_CFG *cfg);
int q7_ipcBitsStop(void);
int q7_ipcBitsExit(void);
int q7_setSnapshoot(void);
int q7_setEvent(int frameRate);
int q7_setPrerecDuration(int seconds);
int q7_getPrerecDuration(void);
int q7_ipcBitsInCbFxn(void *appData);
int avi_change(Q7_IPCBITS_CTRL *ctrl);

// Takes one encoded buffer of the platform: an H.264 frame is copied into a video pool buffer and
// queued for the recorder, a JPEG image of a pending snapshot request is saved, anything else is
// skipped. 0 when the buffer was taken or skipped, -1 when it was dropped (oversized, or after an
// oversized frame of its channel up to the next key frame, or the pipeline stopped while it
// waited for an empty buffer).
int q7_ipcBitsTakeBuffer(const VCODEC_BITSBUF_S *buf);

BITS_BUF_INFO *ipcBits_bufAlloc(BITS_BUF_POOL *pool);
int ipcBits_bufFree(BITS_BUF_POOL *pool, BITS_BUF_INFO *slot);

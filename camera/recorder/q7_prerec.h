// Pre-record list: the last seconds of encoded video and audio in memory, and the event file
// that begins before the event and ends after it.
#pragma once

#include <stdint.h>

#include "avi/udavi.h"
#include "platform/osa.h"

enum {
    PRELIST_KIND_VIDEO = 0,
    PRELIST_KIND_AUDIO = 1,
    PRELIST_KIND_META = 2,
};

struct PRELIST_NODE {
    uint32_t channel;
    uint32_t kind;
    uint32_t tsMs;         // time_sec * 1000 + time_usec / 1000, modulo 2^32
    AVI_FRAME_PARAM frame; // buf points to the node's own copy
    PRELIST_NODE *next;
};

struct PREREC_CTRL {
    PRELIST_NODE *head; // oldest
    PRELIST_NODE *tail; // newest
    uint32_t width;
    uint32_t height;
    uint32_t count;
    int32_t backlog; // nodes listed at the event instant and not yet drained
    uint32_t span;   // tail's tsMs - head's tsMs
    int32_t prerecMs;
    uint32_t postrecMs;
    uint32_t eventOn;
    uint32_t keyFound;
    uint32_t eventStartMs;
    OSA_MutexHndl lock;
};

extern PREREC_CTRL gPREREC_ctrl;

// Size of the circular region that holds the listed nodes and their data.
#define PRELIST_REGION_SIZE (56u * 1024u * 1024u)

// Start address of the region, or 0 when it could not be allocated (the list then stays off).
uintptr_t PRELIST_init_instance(int prerecSec, int postrecSec, uint32_t width, uint32_t height);
void PRELIST_deinit_instance(void);
int PRELIST_add_tail_vdo(AVI_FRAME_PARAM *frame);
int PRELIST_add_tail_ado(AVI_FRAME_PARAM *frame);
int PRELIST_add_tail_mtd(AVI_FRAME_PARAM *frame);
// 0 when an event file was opened, -1 otherwise (also when no event was started).
int PRELIST_set_event(int frameRate);
void PRELIST_set_prerec_duration(int ms);
int PRELIST_getPrerecDuration(void);
void PRELIST_set_postrec_duration(uint32_t ms);
int prerec_open(const char *folder, uint32_t width, uint32_t height, int frameRate);
// Brings the open event file's frames onto the card (LIBAVI_syncAvi); 0 when none is open.
int PRELIST_sync_event(void);

// Test seam: the next region allocation of PRELIST_init_instance fails.
void PRELIST_failNextRegionAlloc(void);

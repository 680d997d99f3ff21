#include "recorder/q7_prerec.h"

#include <stdio.h>
#include <string.h>

#include "platform/board_path.h"
#include "recorder/q7_util.h"

PREREC_CTRL gPREREC_ctrl;

uint8_t *g_pre_mem_addr;
uint8_t *g_pre_mem;

namespace {

void *hEvt;
bool g_evtDirChanged; // an event file was created since the last sync; under the list's lock
bool g_failRegionAlloc;

// Every entry takes a header slot for its node, then its data, both in 16-byte units.
const uint32_t kHeaderSlot = (sizeof(PRELIST_NODE) + 15u) & ~15u;

uint32_t roundUp16(uint32_t n)
{
    return (n + 15u) & ~15u;
}

uint32_t stampMs(const AVI_FRAME_PARAM *f)
{
    return (uint32_t)((uint32_t)f->time_sec * 1000u + (uint32_t)f->time_usec / 1000u);
}

void emptyList(PREREC_CTRL &c)
{
    c.head = nullptr;
    c.tail = nullptr;
    c.count = 0;
    c.span = 0;
}

void dropHead(PREREC_CTRL &c)
{
    c.head = c.head->next;
    c.count--;
    if (c.head == nullptr) {
        // An event set on an empty list drains its only node at once.
        c.tail = nullptr;
        c.span = 0;
    } else {
        c.span = c.tail->tsMs - c.head->tsMs;
    }
}

void endEvent(PREREC_CTRL &c)
{
    if (hEvt != nullptr)
        LIBAVI_closeAvi(hEvt);
    hEvt = nullptr;
    c.keyFound = 0;
    c.eventOn = 0;
}

bool isMainKey(const PRELIST_NODE *n)
{
    return n->frame.data_type == DATA_TYPE_VIDEO_MAIN && n->frame.channel == 0 &&
           n->frame.iskey_frame == 1;
}

// One step of the delay line: the head goes into the event file (from its first main key frame
// on) and leaves the list; the event ends with the first entry past the post-record time.
void drainHead(PREREC_CTRL &c)
{
    PRELIST_NODE *h = c.head;
    if (c.backlog > 0)
        c.backlog--;
    if (c.keyFound == 0 && isMainKey(h))
        c.keyFound = 1;
    if (c.keyFound == 1 && hEvt != nullptr)
        LIBAVI_write_frame(hEvt, &h->frame);
    bool test = true;
    if (c.eventStartMs == 0) {
        if (c.backlog != 0)
            test = false;
        else {
            c.eventStartMs = h->tsMs;
            test = c.eventStartMs != 0;
        }
    }
    if (test && h->tsMs - c.eventStartMs > c.postrecMs)
        endEvent(c);
    dropHead(c);
}

// Bytes for one entry. Listed data is never overwritten: the oldest nodes leave the list first
// (into the event file while one is written).
uint8_t *reserve(PREREC_CTRL &c, uint32_t total)
{
    if (total > PRELIST_REGION_SIZE)
        return nullptr;
    uint32_t cur = (uint32_t)(g_pre_mem - g_pre_mem_addr);
    uint32_t p;
    for (;;) {
        p = cur + total <= PRELIST_REGION_SIZE ? cur : 0;
        if (c.head == nullptr)
            break;
        uint32_t h = (uint32_t)((uint8_t *)c.head - g_pre_mem_addr);
        bool overlap;
        if (p == cur)
            overlap = h >= cur && cur + total > h; // listed bytes wrap round to the cursor
        else
            overlap = h >= cur || total > h;
        if (!overlap)
            break;
        if (c.eventOn)
            drainHead(c);
        else
            dropHead(c);
    }
    g_pre_mem = g_pre_mem_addr + p + total;
    return g_pre_mem_addr + p;
}

int addTail(AVI_FRAME_PARAM *frame, uint32_t kind)
{
    PREREC_CTRL &c = gPREREC_ctrl;
    OSA_mutexLock(&c.lock);
    if (c.prerecMs <= 0 || g_pre_mem_addr == nullptr || frame == nullptr || frame->size < 0 ||
        (frame->size > 0 && frame->buf == nullptr)) {
        int n = (int)c.count;
        OSA_mutexUnlock(&c.lock);
        return n;
    }
    uint32_t size = (uint32_t)frame->size;
    uint8_t *at = reserve(c, kHeaderSlot + roundUp16(size));
    if (at == nullptr) {
        printf("[pre-rec] entry of %u bytes is larger than the region, not listed\n", size);
        int n = (int)c.count;
        OSA_mutexUnlock(&c.lock);
        return n;
    }
    PRELIST_NODE *node = (PRELIST_NODE *)at;
    uint8_t *data = at + kHeaderSlot;
    if (size > 0)
        memcpy(data, frame->buf, size);
    node->channel = (uint32_t)frame->channel;
    node->kind = kind;
    node->tsMs = stampMs(frame);
    node->frame = *frame;
    node->frame.buf = data;
    node->next = nullptr;

    if (c.head == nullptr)
        c.head = node;
    else
        c.tail->next = node;
    c.tail = node;
    c.count++;
    c.span = node->tsMs - c.head->tsMs;

    if (c.eventOn) {
        drainHead(c);
    } else {
        while ((uint32_t)c.prerecMs < c.span)
            dropHead(c);
    }
    int n = (int)c.count;
    OSA_mutexUnlock(&c.lock);
    return n;
}

// Writes what is left of an event into its file and closes it; the lock is held. A file that
// has begun goes on without a gap; one that has not begins at the first main key frame.
void flushEvent(PREREC_CTRL &c)
{
    c.eventOn = 0;
    bool gate = c.keyFound == 1;
    for (PRELIST_NODE *n = c.head; n != nullptr && c.count != 0; n = n->next) {
        if (!gate && isMainKey(n))
            gate = true;
        if (gate && hEvt != nullptr)
            LIBAVI_write_frame(hEvt, &n->frame);
        c.count--;
    }
    emptyList(c);
    endEvent(c);
}

void *createEventFile(const char *folder, uint32_t width, uint32_t height, int frameRate)
{
    char t[32];
    char path[Q7_PATH_LEN];
    q7_format_localtime(t, sizeof(t), "%Y_%2m_%2d_%2H_%2M_%2S");
    if (q7_make_path(path, sizeof(path), "%s/EVT_%s.avi", folder, t) < 0)
        return nullptr;
    printf("[pre-rec] Event file open: %s \n", path);

    AVI_SYSTEM_PARAM prm;
    memset(&prm, 0, sizeof(prm));
    prm.uSystemType = SYSTEM_TYPE_AUDIO_VIDEO;
    prm.uChannelMode = CHANNEL_MODE_SUBPIC;
    prm.nEnableMeta = 1;
    prm.uVideoType = ENCODING_H264;
    prm.nMainWidth = (int)width;
    prm.nMainHeight = (int)height;
    prm.nSubWidth = 1280;
    prm.nSubHeight = 720;
    prm.fFrameRate = frameRate * 1000.0 / 1001.0;
    prm.nAudioType = ENCODING_ULAW;
    prm.nAudioChannel = 1;
    prm.nSamplesPerSec = 16000;
    prm.nAudioBitRate = 16000;
    prm.nAudioFrameSize = 2000;
    prm.nAudioBitPerSample = 16;
    return LIBAVI_createAvi(path, &prm);
}

} // namespace

uintptr_t PRELIST_init_instance(int prerecSec, int postrecSec, uint32_t width, uint32_t height)
{
    PREREC_CTRL &c = gPREREC_ctrl;
    if (g_pre_mem_addr != nullptr)
        PRELIST_deinit_instance();
    memset(&c, 0, sizeof(c));
    c.width = width;
    c.height = height;
    c.prerecMs = prerecSec * 1000;
    c.postrecMs = (uint32_t)postrecSec * 1000u;
    OSA_mutexCreate(&c.lock);
    hEvt = nullptr;
    g_pre_mem_addr = g_failRegionAlloc ? nullptr : (uint8_t *)q7_mem_allloc(PRELIST_REGION_SIZE);
    g_failRegionAlloc = false;
    g_pre_mem = g_pre_mem_addr;
    if (g_pre_mem_addr == nullptr) {
        // The continuous recording goes on without the list.
        c.prerecMs = 0;
        printf("[pre-rec] no memory for the pre-record list (%u bytes): pre-record is off\n",
               PRELIST_REGION_SIZE);
    }
    return (uintptr_t)g_pre_mem_addr;
}

void PRELIST_deinit_instance(void)
{
    PREREC_CTRL &c = gPREREC_ctrl;
    OSA_mutexLock(&c.lock);
    if (c.eventOn)
        flushEvent(c);
    emptyList(c);
    c.prerecMs = 0;
    OSA_mutexUnlock(&c.lock);
    OSA_mutexDelete(&c.lock);
    memset(&c.lock, 0, sizeof(c.lock));
    q7_mem_free(g_pre_mem_addr);
    g_pre_mem_addr = nullptr;
    g_pre_mem = nullptr;
}

int PRELIST_add_tail_vdo(AVI_FRAME_PARAM *frame)
{
    return addTail(frame, PRELIST_KIND_VIDEO);
}

int PRELIST_add_tail_ado(AVI_FRAME_PARAM *frame)
{
    return addTail(frame, PRELIST_KIND_AUDIO);
}

// Metadata shares the region with video and audio, so that the overwrite rule covers it too.
int PRELIST_add_tail_mtd(AVI_FRAME_PARAM *frame)
{
    return addTail(frame, PRELIST_KIND_META);
}

int PRELIST_set_event(int frameRate)
{
    PREREC_CTRL &c = gPREREC_ctrl;
    OSA_mutexLock(&c.lock);
    bool refused = c.prerecMs < 1 || c.eventOn;
    uint32_t width = c.width, height = c.height;
    OSA_mutexUnlock(&c.lock);
    if (refused)
        return -1;

    // The file is created before the event starts, so that no drain step runs without it.
    void *h = createEventFile(board_path(Q7_EVENT_DIR).c_str(), width, height, frameRate);

    OSA_mutexLock(&c.lock);
    if (c.prerecMs < 1 || c.eventOn) {
        OSA_mutexUnlock(&c.lock);
        if (h != nullptr)
            LIBAVI_closeAvi(h);
        return -1;
    }
    c.eventStartMs = 0;
    c.backlog = (int32_t)c.count;
    c.eventOn = 1;
    c.keyFound = 0;
    hEvt = h;
    g_evtDirChanged = h != nullptr;
    OSA_mutexUnlock(&c.lock);
    return h != nullptr ? 0 : -1;
}

int prerec_open(const char *folder, uint32_t width, uint32_t height, int frameRate)
{
    void *h = createEventFile(folder, width, height, frameRate);
    OSA_mutexLock(&gPREREC_ctrl.lock);
    if (hEvt != nullptr)
        LIBAVI_closeAvi(hEvt);
    hEvt = h;
    g_evtDirChanged = h != nullptr;
    OSA_mutexUnlock(&gPREREC_ctrl.lock);
    return h != nullptr ? 0 : -1;
}

int PRELIST_sync_event(void)
{
    OSA_mutexLock(&gPREREC_ctrl.lock);
    int rc = LIBAVI_syncAvi(hEvt);
    if (rc == 0 && g_evtDirChanged) {
        // A new event file: its entry in the folder too.
        rc = q7_sync_dir(board_path(Q7_EVENT_DIR).c_str());
        g_evtDirChanged = false;
    }
    OSA_mutexUnlock(&gPREREC_ctrl.lock);
    return rc;
}

void PRELIST_set_prerec_duration(int ms)
{
    PREREC_CTRL &c = gPREREC_ctrl;
    OSA_mutexLock(&c.lock);
    if (g_pre_mem_addr == nullptr) {
        printf("[pre-rec] no pre-record memory: duration stays 0\n");
        ms = 0;
    }
    c.prerecMs = ms;
    if (ms == 0) {
        // An event in progress is finished with what is listed rather than left open.
        if (c.eventOn)
            flushEvent(c);
        emptyList(c);
    }
    OSA_mutexUnlock(&c.lock);
}

int PRELIST_getPrerecDuration(void)
{
    OSA_mutexLock(&gPREREC_ctrl.lock);
    int sec = gPREREC_ctrl.prerecMs / 1000;
    OSA_mutexUnlock(&gPREREC_ctrl.lock);
    return sec;
}

void PRELIST_set_postrec_duration(uint32_t ms)
{
    OSA_mutexLock(&gPREREC_ctrl.lock);
    gPREREC_ctrl.postrecMs = ms;
    OSA_mutexUnlock(&gPREREC_ctrl.lock);
}

void PRELIST_failNextRegionAlloc(void)
{
    g_failRegionAlloc = true;
}

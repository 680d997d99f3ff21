#include "recorder/q7_ipc_bits.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "graphics/ui_text.h"
#include "audio/q7_audio_EncDec.h"
#include "audio/q7_audio_capture.h"
#include "avi/udavi.h"
#include "platform/board_path.h"
#include "recorder/q7_prerec.h"
#include "recorder/q7_util.h"

Q7_IPCBITS_CTRL gQ7_ipcBitsCtrl;
BITS_BUF_POOL g_bufInfoTblVid;
BITS_BUF_POOL g_bufInfoTblAud;

namespace {

void *hAVI;        // the open continuous file; recorder thread only
uint32_t save_cnt; // snapshot images of the current request; intake thread only
bool g_started[IPCBITS_THR_NUM];
bool g_running;

// A power cut loses what the kernel has not yet written to the card, and a file's length in its
// directory entry can stay short of its data until then (data no repair can see). Bringing the
// open files to the card this often bounds what a cut loses to this interval.
const int64_t kCardSyncMs = 2000;
int64_t g_lastSyncMs; // recorder thread only, once running
// A file was opened (or the folder made or emptied) since the last sync; recorder thread only.
bool g_contDirChanged;
// Frames an H.264 channel lost because one did not fit its pool area; intake thread only.
struct DropCount {
    bool waitKey;       // dropping until the channel's next key frame that fits
    uint32_t oversized; // frames that did not fit
    uint32_t skipped;   // further frames dropped while waiting for the key frame
};
DropCount g_drop[2];

const uint32_t kPcmBytes = 32000;
const uint32_t kUlawBytes = 16000;
// How often a wait that a stop must end looks at its stop flag.
const int32_t kStopPollMs = 100;

int32_t slotIndex(const BITS_BUF_POOL *pool, const BITS_BUF_INFO *slot)
{
    return (int32_t)(slot - pool->slot);
}

void poolLink(BITS_BUF_POOL *pool)
{
    for (int i = 0; i < IPCBITS_POOL_SLOTS; i++)
        pool->slot[i].next = i + 1 < IPCBITS_POOL_SLOTS ? i + 1 : -1;
    pool->head = 0;
}

void bufInit(BITS_BUF_POOL *pool, uint32_t areaSize)
{
    memset(pool->slot, 0, sizeof(pool->slot));
    OSA_assert(OSA_mutexCreate(&pool->lock) == OSA_SOK);
    for (int i = 0; i < IPCBITS_POOL_BUFS; i++) {
        pool->slot[i].bufVirtAddr = (uint8_t *)q7_mem_allloc(areaSize);
        OSA_assert(pool->slot[i].bufVirtAddr != nullptr);
        // A slot without memory takes no frame (every frame is oversized for it).
        pool->slot[i].bufSize = pool->slot[i].bufVirtAddr != nullptr ? areaSize : 0;
    }
    poolLink(pool);
}

void bufDeInit(BITS_BUF_POOL *pool)
{
    OSA_assert(OSA_mutexDelete(&pool->lock) == OSA_SOK);
    memset(&pool->lock, 0, sizeof(pool->lock));
    for (int i = 0; i < IPCBITS_POOL_BUFS; i++) {
        q7_mem_free(pool->slot[i].bufVirtAddr);
        pool->slot[i].bufVirtAddr = nullptr;
        pool->slot[i].bufSize = 0;
    }
    poolLink(pool);
}

void fillEmptyQueue(BITS_BUF_POOL *pool, OSA_QueHndl *emptyQue)
{
    for (int i = 0; i < IPCBITS_POOL_BUFS; i++) {
        BITS_BUF_INFO *slot = ipcBits_bufAlloc(pool);
        if (slot != nullptr)
            OSA_assert(OSA_quePut(emptyQue, (uintptr_t)slot, OSA_TIMEOUT_NONE) == OSA_SOK);
    }
}

// A consumed slot goes back through the free list; being last-in first-out, it hands back the
// same slot, which goes into the empty queue.
void returnSlot(BITS_BUF_POOL *pool, OSA_QueHndl *emptyQue, BITS_BUF_INFO *slot)
{
    ipcBits_bufFree(pool, slot);
    BITS_BUF_INFO *again = ipcBits_bufAlloc(pool);
    if (again != nullptr)
        OSA_assert(OSA_quePut(emptyQue, (uintptr_t)again, OSA_TIMEOUT_NONE) == OSA_SOK);
}

bool stopping(int thr)
{
    return gQ7_ipcBitsCtrl.stop[thr].load() != 0;
}

void saveSnapshot(const VCODEC_BITSBUF_S *buf)
{
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
    bool sub;
    if (c.camMode == CAM_MODE_MAIN)
        sub = false;
    else if (c.camMode == CAM_MODE_SUB)
        sub = true;
    else if (buf->chnId == VENC_CHN_MAIN_JPEG)
        sub = false;
    else if (buf->chnId == VENC_CHN_SUB_JPEG)
        sub = true;
    else
        return;

    char path[Q7_PATH_LEN];
    if (q7_make_snapshot_name(path, sizeof(path), sub) < 0) {
        // No image can ever be saved under this name: the request ends here.
        save_cnt = 0;
        c.snapshotReq = 0;
        return;
    }
    FILE *f = fopen(path, "wb");
    if (f == nullptr)
        return; // the request stays: the next image is tried
    fwrite(buf->bufVirtAddr, 1, buf->filledBufSize, f);
    fclose(f);
    save_cnt++;
    if (c.camMode != CAM_MODE_BOTH || save_cnt >= 2) {
        save_cnt = 0;
        c.snapshotReq = 0;
    }
}

void q7_ipcBitsProcessFullBufs(void)
{
    static VCODEC_BITSBUF_LIST_S list;
    list.numBufs = 0;
    Venc_getBitstreamBuffer(&list, 0);
    if (list.numBufs > 0) {
        for (uint32_t i = 0; i < list.numBufs && i < VCODEC_BITSBUF_MAX; i++)
            q7_ipcBitsTakeBuffer(&list.bitsBuf[i]);
    }
    Venc_releaseBitstreamBuffer(&list);
}

void *q7_ipcBitsRecvFxn(void *arg)
{
    Q7_IPCBITS_CTRL *c = (Q7_IPCBITS_CTRL *)arg;
    while (!stopping(IPCBITS_THR_INTAKE)) {
        OSA_semWait(&c->bitsSem, OSA_TIMEOUT_FOREVER);
        if (stopping(IPCBITS_THR_INTAKE))
            break;
        q7_ipcBitsProcessFullBufs();
    }
    c->done[IPCBITS_THR_INTAKE] = 1;
    return nullptr;
}

void frameRecord(AVI_FRAME_PARAM *f, const BITS_BUF_INFO *slot, int channel, int dataType)
{
    struct timeval tv;
    q7_gettime(&tv);
    f->buf = slot->bufVirtAddr;
    f->size = (int)slot->filledBufSize;
    f->channel = channel;
    f->data_type = dataType;
    f->iskey_frame = slot->frameType == VCODEC_FRAME_TYPE_I ? 1 : 0;
    f->time_sec = (int)tv.tv_sec;
    f->time_usec = (int)tv.tv_usec;
}

void checkMinute(Q7_IPCBITS_CTRL *c)
{
    struct timeval tv;
    q7_gettime(&tv);
    time_t t = tv.tv_sec;
    struct tm tm;
    localtime_r(&t, &tm);
    if (tm.tm_min == c->lastMinute)
        return;
    c->lastMinute = tm.tm_min;
    // A name that does not fit is refused (and said): this minute records nothing new.
    if (q7_make_cont_name(c->aviPath, sizeof(c->aviPath), (int)c->camMode) < 0)
        return;
    q7_filelist_enter(c->aviPath);
    c->fileChangePending = 1;
    printf("new filename %s\n", c->aviPath);
}

void recordVideo(Q7_IPCBITS_CTRL *c, BITS_BUF_INFO *slot)
{
    if (slot->chnId != 0 && slot->chnId != 1)
        return;
    // The minute is read when a frame is at hand, so a name always belongs to the frames after it.
    if (c->contRecEnable)
        checkMinute(c);
    AVI_FRAME_PARAM f;
    frameRecord(&f, slot, (int)slot->chnId, (int)slot->chnId);
    if (c->prerecSec.load() > 0)
        PRELIST_add_tail_vdo(&f);
    if (c->fileChangePending == 1 && f.iskey_frame == 1 && slot->chnId == 0) {
        avi_change(c);
        c->videoStarted = 0;
        c->fileChangePending = 0;
    }
    if (hAVI != nullptr && slot->filledBufSize != 0) {
        LIBAVI_write_frame(hAVI, &f);
        if (c->videoStarted == 0 && f.iskey_frame == 1)
            c->videoStarted = 1;
    }
}

void recordAudio(Q7_IPCBITS_CTRL *c, BITS_BUF_INFO *slot)
{
    AVI_FRAME_PARAM f;
    frameRecord(&f, slot, 0, DATA_TYPE_AUDIO);
    f.iskey_frame = 1;
    if (c->prerecSec.load() > 0)
        PRELIST_add_tail_ado(&f);
    if (hAVI != nullptr && slot->filledBufSize != 0 && c->videoStarted == 1)
        LIBAVI_write_frame(hAVI, &f);
}

int64_t nowMs(void)
{
    struct timeval tv;
    q7_gettime(&tv);
    return (int64_t)tv.tv_sec * 1000 + tv.tv_usec / 1000;
}

void syncCard(void)
{
    int64_t now = nowMs();
    // A clock set back starts the interval afresh.
    if (now - g_lastSyncMs < kCardSyncMs && now >= g_lastSyncMs)
        return;
    g_lastSyncMs = now;
    LIBAVI_syncAvi(hAVI);
    if (g_contDirChanged) {
        // The new file's entry, and the folder's own when it was just made.
        q7_sync_dir(board_path(Q7_CONT_DIR).c_str());
        q7_sync_dir(board_path("/mmc").c_str());
        g_contDirChanged = false;
    }
    PRELIST_sync_event();
}

void *ipcBits_recordFxn(void *arg)
{
    Q7_IPCBITS_CTRL *c = (Q7_IPCBITS_CTRL *)arg;
    while (!stopping(IPCBITS_THR_RECORD)) {
        // The semaphore counts at most 10 wake-ups for up to 18 queued buffers: wait only when
        // nothing is queued, so that no buffer is left behind by a dropped signal.
        if (OSA_queGetQueuedCount(&c->vidFullQue) == 0 &&
            (!c->audioEnable || OSA_queGetQueuedCount(&c->audFullQue) == 0))
            OSA_semWait(&c->recordSem, OSA_TIMEOUT_FOREVER);
        if (stopping(IPCBITS_THR_RECORD))
            break;
        uintptr_t v;
        if (OSA_queGet(&c->vidFullQue, &v, OSA_TIMEOUT_NONE) == OSA_SOK) {
            BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
            recordVideo(c, slot);
            returnSlot(&g_bufInfoTblVid, &c->vidEmptyQue, slot);
        }
        if (c->audioEnable && OSA_queGet(&c->audFullQue, &v, OSA_TIMEOUT_NONE) == OSA_SOK) {
            BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
            recordAudio(c, slot);
            returnSlot(&g_bufInfoTblAud, &c->audEmptyQue, slot);
        }
        syncCard();
        OSA_waitMsecs(1);
    }
    if (hAVI != nullptr)
        LIBAVI_closeAvi(hAVI);
    hAVI = nullptr;
    c->done[IPCBITS_THR_RECORD] = 1;
    return nullptr;
}

void *ipcBits_audioRecvFxn(void *arg)
{
    Q7_IPCBITS_CTRL *c = (Q7_IPCBITS_CTRL *)arg;
    static int16_t pcm[kPcmBytes / 2];
    static uint8_t ulaw[kUlawBytes];
    int count = 0;
    bool pending = false;
    while (!stopping(IPCBITS_THR_AUDIO)) {
        if (!Audio_capture_isStart()) {
            OSA_waitMsecs(1);
            continue;
        }
        if (!pending) {
            if (record_env.periodBytes > sizeof(pcm)) {
                // A period larger than the buffer cannot be read without overrunning it.
                OSA_waitMsecs(1);
                continue;
            }
            int samples = Audio_capture_read(pcm);
            if (samples <= 0) {
                count = 0;
                OSA_waitMsecs(1);
                continue;
            }
            count += 2 * samples;
            if (count > (int)kPcmBytes)
                count = (int)kPcmBytes;
        }
        AUDIO_audioEncode(0, ulaw, pcm, count);
        uintptr_t v;
        if (OSA_queGet(&c->audEmptyQue, &v, OSA_TIMEOUT_NONE) != OSA_SOK) {
            pending = true;
            OSA_waitMsecs(1);
            continue;
        }
        BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
        slot->filledBufSize = (uint32_t)count / 2;
        slot->chnId = 0;
        slot->codecType = 4;
        slot->frameType = 0;
        dma_memcpy(slot->bufVirtAddr, ulaw, (uint32_t)count / 2);
        OSA_assert(OSA_quePut(&c->audFullQue, (uintptr_t)slot, OSA_TIMEOUT_NONE) == OSA_SOK);
        OSA_semSignal(&c->recordSem);
        count = 0;
        pending = false;
        OSA_waitMsecs(1);
    }
    c->done[IPCBITS_THR_AUDIO] = 1;
    return nullptr;
}

// Whether an H.264 frame goes to the recorder. A frame that does not fit its pool area is dropped,
// and so are the frames of its channel up to the next key frame that fits, since they refer back
// to it: no file holds a frame whose reference is missing. Nothing waits for the operator here.
bool acceptVideo(const VCODEC_BITSBUF_S *buf)
{
    const uint32_t area = g_bufInfoTblVid.slot[0].bufSize;
    const bool fits = buf->bufVirtAddr != nullptr && buf->filledBufSize < area;
    if (buf->chnId >= 2)
        return fits;
    DropCount &d = g_drop[buf->chnId];
    if (!fits) {
        if (d.oversized == 0)
            printf(" [app] err: channel %u: a frame of %u bytes does not fit its %u-byte buffer; "
                   "dropped with the channel's frames up to its next key frame\n",
                   buf->chnId, buf->filledBufSize, area);
        d.oversized++;
        d.waitKey = true;
        return false;
    }
    if (d.waitKey && buf->frameType != VCODEC_FRAME_TYPE_I) {
        d.skipped++;
        return false;
    }
    d.waitKey = false;
    return true;
}

void reportDrops(void)
{
    for (uint32_t ch = 0; ch < 2; ch++) {
        if (g_drop[ch].oversized != 0)
            printf(" [app] err: channel %u: %u oversized frames dropped, and %u frames after them "
                   "up to a key frame\n",
                   ch, g_drop[ch].oversized, g_drop[ch].skipped);
    }
}

void requestStop(void)
{
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
    for (int i = 0; i < IPCBITS_THR_NUM; i++)
        c.stop[i] = 1;
    // Threads asleep on their semaphore see the flag at once.
    OSA_semSignal(&c.bitsSem);
    OSA_semSignal(&c.recordSem);
}

void waitDone(int thr)
{
    while (g_started[thr] && gQ7_ipcBitsCtrl.done[thr].load() == 0)
        OSA_waitMsecs(200);
}

} // namespace

BITS_BUF_INFO *ipcBits_bufAlloc(BITS_BUF_POOL *pool)
{
    OSA_mutexLock(&pool->lock);
    int32_t idx = pool->head;
    if ((uint32_t)idx > IPCBITS_POOL_SLOTS - 1) {
        OSA_mutexUnlock(&pool->lock);
        OSA_assertFail(__FILE__, "ipcBits_bufAlloc", __LINE__);
        return nullptr;
    }
    BITS_BUF_INFO *slot = &pool->slot[idx];
    pool->head = slot->next;
    slot->next = -1;
    OSA_mutexUnlock(&pool->lock);
    return slot;
}

int ipcBits_bufFree(BITS_BUF_POOL *pool, BITS_BUF_INFO *slot)
{
    OSA_mutexLock(&pool->lock);
    int32_t idx = slotIndex(pool, slot);
    if ((uint32_t)idx > IPCBITS_POOL_SLOTS - 1) {
        OSA_mutexUnlock(&pool->lock);
        OSA_assertFail(__FILE__, "ipcBits_bufFree", __LINE__);
        return -1;
    }
    slot->next = pool->head;
    pool->head = idx;
    OSA_mutexUnlock(&pool->lock);
    return 0;
}

int q7_ipcBitsTakeBuffer(const VCODEC_BITSBUF_S *buf)
{
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
    if (buf->codecType == VCODEC_TYPE_H264) {
        if (!acceptVideo(buf))
            return -1;
        uintptr_t v = 0;
        while (OSA_queGet(&c.vidEmptyQue, &v, kStopPollMs) != OSA_SOK) {
            if (stopping(IPCBITS_THR_INTAKE))
                return -1;
        }
        BITS_BUF_INFO *slot = (BITS_BUF_INFO *)v;
        slot->chnId = buf->chnId;
        slot->codecType = buf->codecType;
        slot->frameType = buf->frameType;
        slot->filledBufSize = buf->filledBufSize;
        slot->frameWidth = buf->frameWidth;
        slot->frameHeight = buf->frameHeight;
        slot->timestamp = buf->timestamp;
        dma_memcpy(slot->bufVirtAddr, buf->bufVirtAddr, buf->filledBufSize);
        OSA_assert(OSA_quePut(&c.vidFullQue, (uintptr_t)slot, OSA_TIMEOUT_NONE) == OSA_SOK);
        OSA_semSignal(&c.recordSem);
        return 0;
    }
    if ((buf->codecType == VCODEC_TYPE_JPEG || buf->codecType == VCODEC_TYPE_MJPEG) &&
        c.jpegEnable && buf->filledBufSize > 0 && buf->bufVirtAddr != nullptr &&
        c.snapshotReq.load() == 1)
        saveSnapshot(buf);
    return 0;
}

int q7_ipcBitsInCbFxn(void *appData)
{
    Q7_IPCBITS_CTRL *c = (Q7_IPCBITS_CTRL *)appData;
    return OSA_semSignal(&c->bitsSem);
}

int avi_change(Q7_IPCBITS_CTRL *c)
{
    if (hAVI != nullptr)
        LIBAVI_closeAvi(hAVI);
    hAVI = nullptr;

    AVI_SYSTEM_PARAM prm;
    memset(&prm, 0, sizeof(prm));
    prm.uSystemType = c->audioEnable ? SYSTEM_TYPE_AUDIO_VIDEO : SYSTEM_TYPE_VIDEO;
    prm.uChannelMode = c->camMode == CAM_MODE_BOTH ? CHANNEL_MODE_SUBPIC : CHANNEL_MODE_SINGLE;
    prm.nEnableMeta = 1;
    prm.uVideoType = ENCODING_H264;
    prm.nMainWidth = (int)(c->camMode == CAM_MODE_SUB ? c->subWidth : c->mainWidth);
    prm.nMainHeight = (int)(c->camMode == CAM_MODE_SUB ? c->subHeight : c->mainHeight);
    prm.nSubWidth = c->camMode == CAM_MODE_BOTH ? (int)c->subWidth : 0;
    prm.nSubHeight = c->camMode == CAM_MODE_BOTH ? (int)c->subHeight : 0;
    prm.fFrameRate = c->frameRate * 1000.0 / 1001.0;
    prm.nAudioType = ENCODING_ULAW;
    prm.nAudioChannel = 1;
    prm.nSamplesPerSec = 16000;
    prm.nAudioBitRate = 16000;
    prm.nAudioFrameSize = 2000;
    prm.nAudioBitPerSample = 16;

    hAVI = LIBAVI_createAvi(c->aviPath, &prm);
    if (hAVI == nullptr) {
        puts("[AVI_SAVE] ###########avi save handle is NULL!!!!!!!!#############");
        ui_draw_txt("AVI save fail");
        return -1;
    }
    g_contDirChanged = true;
    ui_draw_txt(c->aviPath);
    return 0;
}

int q7_ipcBitsInit(int camMode, APP_CFG *cfg)
{
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
    if (g_running) {
        puts(" [app] err: recording pipeline is already running");
        return -1;
    }
    dma_memcpy_open();
    VENC_CALLBACK_S cb;
    cb.newDataAvailableCb = q7_ipcBitsInCbFxn;
    Venc_registerCallback(&cb, &c);

    memset(c.aviPath, 0, sizeof(c.aviPath));
    c.fileChangePending = 0;
    c.snapshotReq = 0;
    c.videoStarted = 0;
    c.camMode = (uint32_t)camMode;
    c.lastMinute = -1;
    c.frameRate = cfg->frameRate;
    c.mainWidth = cfg->mainWidth;
    c.mainHeight = cfg->mainHeight;
    c.subWidth = cfg->subWidth;
    c.subHeight = cfg->subHeight;
    c.jpegEnable = cfg->jpegEnable;
    c.contRecEnable = cfg->contRecEnable;
    c.audioEnable = cfg->audioEnable;
    if (camMode == CAM_MODE_SUB) {
        c.mainWidth = cfg->subWidth;
        c.mainHeight = cfg->subHeight;
    }
    c.prerecSec = cfg->prerecEnable ? 10 : 0;
    hAVI = nullptr;
    save_cnt = 0;
    g_lastSyncMs = nowMs();
    g_contDirChanged = true;
    memset(g_drop, 0, sizeof(g_drop));

    // Without pre-record the list starts off too, so that no event opens an empty file.
    if (PRELIST_init_instance(c.prerecSec, 10, cfg->mainWidth, cfg->mainHeight) == 0)
        c.prerecSec = 0;

    q7_prepare_cont_folder();

    OSA_semCreate(&c.bitsSem, 10, 0);
    OSA_semCreate(&c.recordSem, 10, 0);
    for (int i = 0; i < IPCBITS_THR_NUM; i++) {
        c.stop[i] = 0;
        c.done[i] = 0;
        g_started[i] = false;
    }

    bufInit(&g_bufInfoTblVid, c.mainWidth * c.mainHeight / 2);
    if (c.audioEnable)
        bufInit(&g_bufInfoTblAud, IPCBITS_AUD_BUF_SIZE);

    OSA_queCreate(&c.vidEmptyQue, IPCBITS_QUE_LEN);
    OSA_queCreate(&c.vidFullQue, IPCBITS_QUE_LEN);
    fillEmptyQueue(&g_bufInfoTblVid, &c.vidEmptyQue);
    if (c.audioEnable) {
        OSA_queCreate(&c.audEmptyQue, IPCBITS_QUE_LEN);
        OSA_queCreate(&c.audFullQue, IPCBITS_QUE_LEN);
        fillEmptyQueue(&g_bufInfoTblAud, &c.audEmptyQue);
    }

    g_started[IPCBITS_THR_INTAKE] =
        OSA_thrCreate(&c.thr[IPCBITS_THR_INTAKE], q7_ipcBitsRecvFxn, 1, 0, &c) == OSA_SOK;
    g_started[IPCBITS_THR_RECORD] =
        OSA_thrCreate(&c.thr[IPCBITS_THR_RECORD], ipcBits_recordFxn, 1, 0, &c) == OSA_SOK;
    if (c.audioEnable)
        g_started[IPCBITS_THR_AUDIO] =
            OSA_thrCreate(&c.thr[IPCBITS_THR_AUDIO], ipcBits_audioRecvFxn, 1, 0, &c) == OSA_SOK;

    g_running = true;
    return 0;
}

int q7_ipcBitsStop(void)
{
    if (!g_running)
        return 0;
    requestStop();
    waitDone(IPCBITS_THR_INTAKE);
    // The recorder still appends to the list and the audio intake still reads the capture: both
    // end before the list is finished and before the caller closes the capture.
    waitDone(IPCBITS_THR_RECORD);
    waitDone(IPCBITS_THR_AUDIO);
    PRELIST_deinit_instance();
    reportDrops();
    return 0;
}

int q7_ipcBitsExit(void)
{
    Q7_IPCBITS_CTRL &c = gQ7_ipcBitsCtrl;
    if (!g_running)
        return 0;
    requestStop();
    for (int i = 0; i < IPCBITS_THR_NUM; i++)
        waitDone(i);
    // Normally finished by q7_ipcBitsStop already; a second call does nothing.
    PRELIST_deinit_instance();
    bufDeInit(&g_bufInfoTblVid);
    if (c.audioEnable)
        bufDeInit(&g_bufInfoTblAud);
    for (int i = 0; i < IPCBITS_THR_NUM; i++) {
        if (g_started[i])
            OSA_thrDelete(&c.thr[i]);
        g_started[i] = false;
    }
    OSA_semDelete(&c.bitsSem);
    OSA_semDelete(&c.recordSem);
    OSA_queDelete(&c.vidEmptyQue);
    OSA_queDelete(&c.vidFullQue);
    if (c.audioEnable) {
        OSA_queDelete(&c.audEmptyQue);
        OSA_queDelete(&c.audFullQue);
    }
    dma_memcpy_close();
    sync();
    g_running = false;
    return 0;
}

int q7_setSnapshoot(void)
{
    uint16_t idle = 0;
    gQ7_ipcBitsCtrl.snapshotReq.compare_exchange_strong(idle, 1);
    return 0;
}

int q7_setEvent(int frameRate)
{
    return PRELIST_set_event(frameRate);
}

int q7_setPrerecDuration(int seconds)
{
    gQ7_ipcBitsCtrl.prerecSec = seconds;
    PRELIST_set_prerec_duration(seconds * 1000);
    return 0;
}

int q7_getPrerecDuration(void)
{
    return PRELIST_getPrerecDuration();
}

#include "app/q7_avi_playback.h"

#include "platform/console.h"
#include "platform/video_platform.h"
#include "recorder/q7_util.h"

#include <string.h>

PB_OBJ pbObj;

static const char kMenu[] =
    "\r\n ==================\r\n Playback Main Menu\r\n ==================\r\n\r\n"
    " 0: exit\r\n 1: Start avi playback\r\n 2: Stop avi playback\r\n\r\n"
    " Enter Choice: ";

void pb_readerInit(PB_READER *r, FILE *fp, off_t moviOffset, DWORD moviSize)
{
    r->fp = fp;
    r->pos = moviOffset + (off_t)sizeof(CK_LIST);
    r->end = moviOffset + (off_t)avi_chunkSpan(moviSize);
    off_t fileEnd = -1;
    if (fseeko(fp, 0, SEEK_END) == 0)
        fileEnd = ftello(fp);
    // A movi size of 0 (never closed) or one beyond the file: up to the end of the file.
    if (fileEnd >= 0 && (moviSize == 0 || r->end > fileEnd))
        r->end = fileEnd;
    fseeko(fp, r->pos, SEEK_SET);
}

int pb_readVideoChunk(PB_READER *r, uint8_t *buf, uint32_t cap, uint32_t *stream, uint32_t *size)
{
    for (;;) {
        CK ck;
        if (r->pos + (off_t)sizeof(CK) > r->end || fread(&ck, sizeof(CK), 1, r->fp) != 1)
            return 0;
        r->pos += sizeof(CK);
        if ((off_t)ck.ckSize > r->end - r->pos)
            return 0;
        DWORD n = 0;
        uint16_t type = 0;
        const bool video =
            avi_chunkIdDecode(ck.ckID, &n, &type) && type == AVI_TWOCC_VIDEO && n <= 1;
        if (video && ck.ckSize <= cap) {
            if (ck.ckSize && fread(buf, ck.ckSize, 1, r->fp) != 1)
                return 0;
            r->pos += ck.ckSize;
            *stream = n;
            *size = ck.ckSize;
            return 1;
        }
        // Audio, text, and video too large for the staging buffer are passed over.
        r->pos += ck.ckSize;
        if (fseeko(r->fp, r->pos, SEEK_SET) != 0)
            return 0;
    }
}

void *playbackFxn(void *arg)
{
    PB_OBJ *pb = (PB_OBJ *)arg;
    AVIFILE *f = pb->aviFile;
    uint8_t *staging = (uint8_t *)q7_mem_allloc(PB_STAGING_SIZE);
    // The buffer list is far larger than the thread's stack.
    VCODEC_BITSBUF_LIST_S *list =
        (VCODEC_BITSBUF_LIST_S *)q7_mem_allloc(sizeof(VCODEC_BITSBUF_LIST_S));
    puts("[PLAYBACK] Playback Running...");
    uint32_t mainCount = 0;
    PB_READER rd;
    pb_readerInit(&rd, f->pFile, (off_t)f->nHeadWritten, f->Tail.ck_movi.ckSize);
    const uint32_t total = f->Head.avih.dwTotalFrames;

    while (staging && list && !pb->stopReq) {
        VDEC_BUF_REQUEST_S req;
        memset(&req, 0, sizeof(req));
        req.numBufs = 2;
        req.minBufSize[0] = PB_STAGING_SIZE;
        req.minBufSize[1] = PB_STAGING_SIZE;
        list->numBufs = 0;
        if (Vdec_requestBitstreamBuffer(&req, list, OSA_TIMEOUT_NONE) != 0)
            list->numBufs = 0;
        uint32_t filled = 0;
        bool atEnd = false;
        for (uint32_t i = 0; i < list->numBufs; i++) {
            uint32_t stream = 0, size = 0;
            if (pb_readVideoChunk(&rd, staging, PB_STAGING_SIZE, &stream, &size) != 1) {
                atEnd = true;
                break;
            }
            VCODEC_BITSBUF_S &b = list->bitsBuf[i];
            if (size > b.bufSize) // a decoder buffer smaller than asked for
                size = b.bufSize;
            memcpy(b.bufVirtAddr, staging, size);
            b.chnId = stream;
            b.codecType = 0;
            b.filledBufSize = size;
            filled++;
            if (stream == 0)
                mainCount++;
        }
        if (filled > 0) {
            list->numBufs = filled;
            Vdec_putBitstreamBuffer(list);
        }
        if (atEnd || mainCount >= total - 1)
            pb->stopReq = 1;
        OSA_waitMsecs(pb->waitMsec);
    }

    puts("[PLAYBACK] Exit playback loop...");
    q7_mem_free(list);
    q7_mem_free(staging);
    fclose(f->pFile);
    q7_mem_free(f);
    pb->aviFile = nullptr;
    puts("\n[PLAYBACK] File close done...");
    // Last acts: after these the menu may start the next playback.
    pb->running = 0;
    OSA_semSignal(&pb->doneSem);
    puts("[PLAYBACK] Playback is done...");
    return nullptr;
}

int pbmenu_get_cmd(void)
{
    char line[8];
    if (!menu_read_line(line))
        return '0';
    int cmd = 0;
    for (int i = 3; i >= 0; i--)
        cmd = (cmd << 8) | (uint8_t)line[i];
    return cmd;
}

// Opens and checks the file; on success pbObj.aviFile holds it, positioned for the thread.
static bool openForPlayback(const char *path)
{
    AVIFILE *f = (AVIFILE *)q7_mem_allloc(sizeof(AVIFILE));
    if (!f)
        return false;
    memset(f, 0, sizeof(*f));
    bool ok = false;
    f->pFile = fopen(path, "rb");
    if (!f->pFile) {
        printf("[PLAYBACK] fopen() Fail (%s)!! \n", path);
    } else if (avi_readHead(f->pFile, &f->Head) != AVI_READ_OK ||
               f->Head.ck_hdrl.ckSize < AVI_HDRL_BASE_SIZE || f->Head.avih.dwScale == 0) {
        puts("[PLAYBACK] Not enough header information.");
    } else if (f->Head.avih.dwStreams == 0 || f->Head.avih.dwTotalFrames == 0) {
        puts("[PLAYBACK] Empty stream data.");
    } else {
        pbObj.waitMsec = f->Head.avih.dwRate / f->Head.avih.dwScale;
        f->nHeadWritten = AVI_HEADBLOCK_SIZE + (f->Head.ck_hdrl.ckSize - AVI_HDRL_BASE_SIZE);
        if (fseeko(f->pFile, (off_t)f->nHeadWritten, SEEK_SET) != 0 ||
            avi_readMoviHeader(f->pFile, &f->Tail.ck_movi) != AVI_READ_OK)
            puts("[PLAYBACK] Invalid movi header");
        else
            ok = true;
    }
    if (!ok) {
        if (f->pFile)
            fclose(f->pFile);
        q7_mem_free(f);
        puts("\n[PLAYBACK] File close done...");
        return false;
    }
    pbObj.aviFile = f;
    return true;
}

// Joins a thread that has ended by itself and releases its semaphore.
static void releaseEndedThread(void)
{
    if (pbObj.thrHndl.valid) {
        OSA_thrDelete(&pbObj.thrHndl);
        OSA_semDelete(&pbObj.doneSem);
    }
}

static void startPlayback(void)
{
    pbObj.stopReq = 0;
    puts(" ");
    menu_prompt(" Enter file path for playback (.avi) : ");
    char path[128];
    if (!menu_read_path(path))
        return;
    releaseEndedThread();
    if (!openForPlayback(path))
        return;
    pbObj.running = 1;
    OSA_semCreate(&pbObj.doneSem, 10, 0);
    if (OSA_thrCreate(&pbObj.thrHndl, playbackFxn, 2, 10240, &pbObj) != OSA_SOK) {
        pbObj.running = 0;
        OSA_semDelete(&pbObj.doneSem);
        fclose(pbObj.aviFile->pFile);
        q7_mem_free(pbObj.aviFile);
        pbObj.aviFile = nullptr;
        puts("\n[PLAYBACK] File close done...");
    }
}

static void stopPlayback(void)
{
    if (!pbObj.stopReq) {
        pbObj.stopReq = 1;
        OSA_semWait(&pbObj.doneSem, OSA_TIMEOUT_FOREVER);
    }
    OSA_thrDelete(&pbObj.thrHndl);
    OSA_semDelete(&pbObj.doneSem);
    puts("\n[PLAYBACK] Playback stop done...");
}

int pb_main(void)
{
    for (;;) {
        const char choice = (char)menu_prompt_cmd(kMenu);
        if (choice == '1' && !pbObj.running) {
            startPlayback();
        } else if (choice == '2' && pbObj.running) {
            stopPlayback();
        } else if (choice == '0') {
            // The decoder goes down after this menu: no thread may still feed it.
            if (pbObj.running)
                stopPlayback();
            releaseEndedThread();
            return 0;
        }
    }
}

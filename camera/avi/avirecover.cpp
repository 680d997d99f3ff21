#include "avi/avirecover.h"

#include "avi/avimem.h"

#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/types.h>

static char errMsg[50];
static int readHdrCnt;
static void *pVidFormat;
static void *pAudFormat;

// How far past a damaged chunk header the next one is looked for: the largest chunk this system
// writes, with its header.
static const off_t kResyncSpan = (off_t)avi_chunkSpan(AVI_MAX_CHUNK_SIZE);
// The search reads the file in pieces of this size.
static const size_t kResyncBlock = 16384;

// Far more than any format record this system writes (at most 40 bytes).
static const DWORD kMaxFormatSize = 1024;

// Bytes between a damaged chunk header and the next chunk found after it.
struct RcSpan {
    off_t pos;
    DWORD len;
};

struct RcCtx {
    AVIFILE *f;
    AVISTREAM *streams; // `count` entries, each owning its block
    DWORD count;
    off_t fileLength;
    off_t moviPos; // the movi list header
    RcSpan *spans; // damaged spans in file order, `spanCount` of them
    DWORD spanCount, spanCap;
    DWORD spanBytes;
    bool report; // print the console report of the headers
};

// %ld values as the 32-bit board prints them, on every platform.
static long L32(DWORD v)
{
    return (long)(int32_t)v;
}

static void setErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static void setErr(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(errMsg, sizeof(errMsg), fmt, ap);
    va_end(ap);
}

const char *AVIrcGetErrMsg(void)
{
    return errMsg;
}

static void reportMainHeader(const AVIMAINHEADER &h)
{
    puts("=======================");
    puts("     AVIMAINHEADER     ");
    puts("=======================");
    printf("msecPerFrame : %ld\n", L32(h.dwMicroSecPerFrame));
    printf("maxBytePerSec: %ld\n", L32(h.dwMaxBytesPerSec));
    printf("flags        : %x\n", h.dwFlags);
    printf("totFrames    : %ld\n", L32(h.dwTotalFrames));
    printf("initFrames   : %ld\n", L32(h.dwInitialFrames));
    printf("streams      : %ld\n", L32(h.dwStreams));
    printf("suggestedBuff: %ld\n", L32(h.dwSuggestedBufferSize));
    printf("width        : %ld\n", L32(h.dwWidth));
    printf("height       : %ld\n", L32(h.dwHeight));
    printf("scale        : %ld\n", L32(h.dwScale));
    printf("rate         : %ld\n", L32(h.dwRate));
    printf("start        : %ld\n", L32(h.dwStart));
    printf("length       : %ld\n", L32(h.dwLength));
    printf("\n\n");
}

static void reportStream(const AVISTREAMBLOCK *b, const void *format)
{
    const AVISTREAMHEADER &h = b->AviStrHeader;
    char t[5], hd[5];
    avi_fourccText(t, h.fccType, 0);
    avi_fourccText(hd, h.fccHandler, 0);
    puts("===========================");
    puts("      AVISTREAMHEADER      ");
    puts("===========================");
    printf("fccType\t\t: %c%c%c%c\n", t[0], t[1], t[2], t[3]);
    if (h.fccType == AVI_FCC_VIDS)
        printf("fccHandler\t: %c%c%c%c\n", hd[0], hd[1], hd[2], hd[3]);
    else
        printf("fccHandler\t: %ld\n", L32(h.fccHandler));
    printf("Flags\t\t: %ld\n", L32(h.dwFlags));
    printf("Priority\t: %ld\n", L32(h.dwPriority));
    printf("InitFrames\t: %ld\n", L32(h.dwInitialFrames));
    printf("Scale\t\t: %ld\n", L32(h.dwScale));
    printf("Rate\t\t: %ld\n", L32(h.dwRate));
    printf("Start\t\t: %ld\n", L32(h.dwStart));
    printf("Length\t\t: %ld\n", L32(h.dwLength));
    printf("SuggestBuf\t: %ld\n", L32(h.dwSuggestedBufferSize));
    printf("Quality\t\t: %ld\n", L32(h.dwQuality));
    printf("SmapleSize\t: %ld\n", L32(h.dwSampleSize));
    printf("rcFrmae[0]\t: %d\n", h.rcFrame.left);
    printf("rcFrame[1]\t: %d\n", h.rcFrame.top);
    printf("rcFrame[2]\t: %d\n", h.rcFrame.right);
    printf("rcFrame[3]\t: %d\n", h.rcFrame.bottom);
    printf("\n\n");
    puts("===========================");
    puts("     AVISTREAMFORMAT\t   ");
    puts("===========================");
    if (h.fccType == AVI_FCC_VIDS && format) {
        const BITMAPINFOHEADER *bi = (const BITMAPINFOHEADER *)format;
        char c[5];
        avi_fourccText(c, bi->biCompression, 0);
        printf("Size\t:%ld\n", L32(bi->biSize));
        printf("Width\t:%ld\n", L32(bi->biWidth));
        printf("Height\t:%ld\n", L32(bi->biHeight));
        printf("Plans\t:%d\n", bi->biPlanes);
        printf("bitCnt\t:%d\n", bi->biBitCount);
        printf("Compress:%s\n", c);
        printf("SizeBuf\t:%ld\n", L32(bi->biSizeImage));
        printf("XMeter\t:%ld\n", L32(bi->biXPelsPerMeter));
        printf("YMeter\t:%ld\n", L32(bi->biYPelsPerMeter));
        printf("ClrUsed\t:%ld\n", L32(bi->biClrUsed));
        printf("ClrImp\t:%ld\n", L32(bi->biClrImportant));
    } else if (h.fccType == AVI_FCC_AUDS && format) {
        const WAVEFORMATEX *w = (const WAVEFORMATEX *)format;
        printf("formTag         : %d\n", w->wFormatTag);
        printf("Channels        : %d\n", w->nChannels);
        printf("SamplePerSec    : %ld\n", L32(w->nSamplesPerSec));
        printf("AvgBytesPerSec  : %ld\n", L32(w->nAvgBytesPerSec));
        printf("BlockAlign      : %d\n", w->nBlockAlign);
        printf("BitsPerSample   : %d\n", w->wBitsPerSample);
        printf("cbSize          : %d\n", w->cbSize);
    }
    printf("\n\n");
}

// Reads stream header number readHdrCnt into `s`; the block stays with `s` for the caller to free.
static int readStreamHeader(RcCtx *c, AVISTREAM *s)
{
    FILE *fp = c->f->pFile;
    const int n = readHdrCnt;
    AVISTREAMBLOCK *b = (AVISTREAMBLOCK *)avi_calloc(sizeof(AVISTREAMBLOCK));
    if (!b) {
        AVI_LOG("Can't Create Stream Block\n");
        return -1;
    }
    s->pAVIFile = c->f;
    s->pStreamBlock = b;

    if (fread(&b->ck_strl, sizeof(CK_LIST), 1, fp) != 1 || b->ck_strl.ckID != AVI_FCC_LIST ||
        b->ck_strl.ckSize == 0 || b->ck_strl.ckType != AVI_FCC_STRL) {
        setErr("Invalid strl header size[%ld] ckType[0x%x].\n", L32(b->ck_strl.ckSize),
               b->ck_strl.ckType);
        return -1;
    }
    if (fread(&b->ck_strh, sizeof(CK), 1, fp) != 1 || b->ck_strh.ckID != AVI_FCC_STRH ||
        b->ck_strh.ckSize == 0) {
        setErr("Invalid strh header size[%ld] ckID[0x%x].\n", L32(b->ck_strh.ckSize),
               b->ck_strh.ckID);
        return -1;
    }
    if (fread(&b->AviStrHeader, sizeof(AVISTREAMHEADER), 1, fp) != 1 ||
        fread(&b->ck_strf, sizeof(CK), 1, fp) != 1 || b->ck_strf.ckID != AVI_FCC_STRF) {
        setErr("Invalid strf header ckID[0x%x].\n", b->ck_strf.ckID);
        return -1;
    }
    const FOURCC type = b->AviStrHeader.fccType;
    const DWORD fmtSize = b->ck_strf.ckSize;
    if (type != AVI_FCC_VIDS && type != AVI_FCC_AUDS && type != AVI_FCC_TXTS) {
        setErr("Invalid stream type[0x%x].\n", type);
        return -1;
    }
    if (type == AVI_FCC_TXTS ? fmtSize != 0 : (fmtSize == 0 || fmtSize > kMaxFormatSize)) {
        setErr("Invalid strf header Size[%ld].\n", L32(fmtSize));
        return -1;
    }
    // The rewrite finds each list by its stated size, so it must match what is read here.
    if (b->ck_strl.ckSize != AVI_STRL_BASE_SIZE + fmtSize) {
        setErr("Invalid strl header size[%ld] ckType[0x%x].\n", L32(b->ck_strl.ckSize),
               b->ck_strl.ckType);
        return -1;
    }
    if (type == AVI_FCC_TXTS) {
        s->ck_data.ckID = avi_chunkId((DWORD)n, AVI_TWOCC_TEXT);
    } else {
        // Room for the whole record the report reads, even when the file's is shorter.
        size_t room = fmtSize > sizeof(BITMAPINFOHEADER) ? fmtSize : sizeof(BITMAPINFOHEADER);
        void *fmt = avi_calloc(room);
        if (!fmt) {
            AVI_LOG("Can't Create Stream Format\n");
            return -1;
        }
        if (fread(fmt, fmtSize, 1, fp) != 1) {
            avi_free(fmt);
            setErr("Invalid strf header Size[%ld].\n", L32(fmtSize));
            return -1;
        }
        void *&keep = type == AVI_FCC_VIDS ? pVidFormat : pAudFormat;
        avi_free(keep);
        keep = fmt;
        s->ck_data.ckID =
            avi_chunkId((DWORD)n, type == AVI_FCC_VIDS ? AVI_TWOCC_VIDEO : AVI_TWOCC_AUDIO);
    }
    readHdrCnt++;
    if (c->report) {
        const void *format = type == AVI_FCC_VIDS   ? pVidFormat
                             : type == AVI_FCC_AUDS ? pAudFormat
                                                    : nullptr;
        reportStream(b, format);
    }
    return 0;
}

// Reads the head, the stream headers and the movi list header. 0 or -1.
static int readHeaders(RcCtx *c)
{
    AVIFILE *f = c->f;
    AVIHEADBLOCK &h = f->Head;
    if (avi_readHead(f->pFile, &h) != AVI_READ_OK) {
        setErr("Not enough header information.\n");
        return -1;
    }
    f->nHeadWritten = AVI_HEADBLOCK_SIZE;
    if (c->report)
        reportMainHeader(h.avih);
    if (h.avih.dwStreams == 0) {
        setErr("Empty stream data.\n");
        return -1;
    }
    if (h.avih.dwStreams > AVI_MAX_STREAMS) {
        setErr("Invalid stream count[%ld].\n", L32(h.avih.dwStreams));
        return -1;
    }
    c->streams = (AVISTREAM *)avi_calloc(sizeof(AVISTREAM) * h.avih.dwStreams);
    if (!c->streams)
        return -1;
    c->count = h.avih.dwStreams;
    for (DWORD i = 0; i < c->count; i++) {
        if (readStreamHeader(c, &c->streams[i]) != 0)
            return -1;
    }
    c->moviPos = ftello(f->pFile);
    // A short read leaves the movi header zeroed; the scan then finds no chunk.
    if (avi_readMoviHeader(f->pFile, &f->Tail.ck_movi) == AVI_READ_EID) {
        setErr("Invalid movi header ckID[0x%x].\n", f->Tail.ck_movi.ckID);
        return -1;
    }
    return 0;
}

static bool readAt(FILE *fp, off_t pos, void *buf, size_t n)
{
    return fseeko(fp, pos, SEEK_SET) == 0 && fread(buf, n, 1, fp) == 1;
}

// The stream whose chunk identifier is `id`, or -1.
static int streamOf(const RcCtx *c, FOURCC id)
{
    for (DWORD i = 0; i < c->count; i++)
        if (c->streams[i].ck_data.ckID == id)
            return (int)i;
    return -1;
}

static bool isStreamChunk(const RcCtx *c, const CK &ck)
{
    return ck.ckSize <= AVI_MAX_CHUNK_SIZE && streamOf(c, ck.ckID) >= 0;
}

// The idx1 of a close that was cut short after writing it.
static bool isIndex(const CK &ck)
{
    return ck.ckID == AVI_FCC_IDX1 && ck.ckSize % AVI_INDEXENTRY_SIZE == 0;
}

// A chunk header found by the search holds when what follows its stated end is the end of the
// file, another chunk of this file, or idx1 (after the 0 to 3 bytes that round the movi size).
// A JUNK header does not count: the damage it covers was not a chunk when it was found, and a
// repair run again must find what the first run found.
static bool confirmed(RcCtx *c, off_t pos, const CK &ck)
{
    const off_t next = pos + (off_t)avi_chunkSpan(ck.ckSize);
    if (next + (off_t)sizeof(CK) > c->fileLength)
        return true;
    unsigned char b[11];
    const size_t n = c->fileLength - next >= 11 ? 11 : (size_t)(c->fileLength - next);
    if (!readAt(c->f->pFile, next, b, n))
        return false;
    CK after;
    memcpy(&after, b, sizeof(CK));
    if (isStreamChunk(c, after))
        return true;
    for (size_t k = 0; k + sizeof(CK) <= n && k < 4; k++) {
        memcpy(&after, b + k, sizeof(CK));
        if (isIndex(after))
            return true;
    }
    return false;
}

// Looks past the damaged chunk header at `from` for the next confirmed chunk header, at most
// kResyncSpan bytes on. Its position, or -1 when there is none or idx1 comes first.
static off_t resync(RcCtx *c, off_t from)
{
    unsigned char buf[kResyncBlock + sizeof(CK) - 1];
    const off_t end = c->fileLength - (off_t)sizeof(CK); // the last position a header fits at
    const off_t last = from + kResyncSpan < end ? from + kResyncSpan : end;
    for (off_t base = from + 1; base <= last; base += (off_t)kResyncBlock) {
        const off_t rest = c->fileLength - base;
        const size_t n = rest < (off_t)sizeof(buf) ? (size_t)rest : sizeof(buf);
        if (!readAt(c->f->pFile, base, buf, n))
            return -1;
        for (size_t i = 0; i + sizeof(CK) <= n && base + (off_t)i <= last; i++) {
            CK ck;
            memcpy(&ck, buf + i, sizeof(CK));
            if (isIndex(ck))
                return -1;
            if (isStreamChunk(c, ck) && confirmed(c, base + (off_t)i, ck))
                return base + (off_t)i;
        }
    }
    return -1;
}

static void setTooLarge(void)
{
    setErr("File too large to index (4 GiB or more).\n");
}

// Whether `n` more bytes of movi data keep the sizes within 32 bits; the message says so if not.
static bool moviHasRoom(const AVIFILE *f, uint64_t n)
{
    if ((uint64_t)f->movi_size + n <= AVI_MAX_FILE_LENGTH)
        return true;
    setTooLarge();
    return false;
}

// Accounts `n` bytes of the movi data that get no index entry.
static int passOver(AVIFILE *f, uint64_t n)
{
    if (!moviHasRoom(f, n))
        return -1;
    f->nOffset = (int32_t)((DWORD)f->nOffset + (DWORD)n);
    f->movi_size += (DWORD)n;
    return 0;
}

static int keepSpan(RcCtx *c, off_t pos, DWORD len)
{
    if (c->spanCount == c->spanCap) {
        DWORD cap = c->spanCap ? 2 * c->spanCap : 16;
        RcSpan *grown = (RcSpan *)avi_realloc(c->spans, sizeof(RcSpan) * cap);
        if (!grown) {
            setErr("Not enough memory for the index.\n");
            return -1;
        }
        c->spans = grown;
        c->spanCap = cap;
    }
    c->spans[c->spanCount++] = {pos, len};
    c->spanBytes += len;
    if (c->report)
        AVI_LOG("Damaged data at offset[%u]: %u bytes skipped\n", (unsigned)pos, (unsigned)len);
    return 0;
}

// Walks the chunks after the movi list header and rebuilds the index. 0 or -1.
static int recoveryStart(RcCtx *c, AVIRC_INFO *info)
{
    AVIFILE *f = c->f;
    FILE *fp = f->pFile;
    f->nOffset = AVI_MOVI_FIRST_OFFSET;
    if (c->report)
        AVI_LOG("recoveryStart() run!! \n");
    if ((uint64_t)c->fileLength > AVI_MAX_FILE_LENGTH) {
        setTooLarge();
        return -1;
    }
    // Counts are taken afresh: a close interrupted after rewriting a stream header has already
    // put its final values there.
    for (DWORD i = 0; i < c->count; i++) {
        AVISTREAMHEADER &h = c->streams[i].pStreamBlock->AviStrHeader;
        h.dwLength = 0;
        if (h.fccType == AVI_FCC_VIDS)
            h.dwSuggestedBufferSize = 0;
    }
    off_t pos = c->moviPos + (off_t)sizeof(CK_LIST);
    bool any = false;
    for (;;) {
        CK ck;
        if (!readAt(fp, pos, &ck, sizeof(CK))) {
            if (!any) {
                setErr("Empty recorded data.\n");
                return -1;
            }
            break;
        }
        any = true;
        if (ck.ckSize == 0) {
            // Not indexed, but it stays in the movi data: later offsets must count it.
            if (passOver(f, sizeof(CK)) != 0)
                return -1;
            pos += sizeof(CK);
            continue;
        }
        if (isIndex(ck))
            break;
        const int si = streamOf(c, ck.ckID);
        const off_t end = pos + (off_t)avi_chunkSpan(ck.ckSize);
        if (ck.ckID == AVI_FCC_JUNK && ck.ckSize <= AVI_MAX_CHUNK_SIZE && end <= c->fileLength) {
            // Damage an earlier repair covered up.
            if (passOver(f, avi_chunkSpan(ck.ckSize)) != 0)
                return -1;
            pos = end;
            continue;
        }
        if (si < 0 || ck.ckSize > AVI_MAX_CHUNK_SIZE) {
            // A torn write, a corrupted header, or the rest of a cluster that never reached the
            // card: go on from the next chunk header that the chunk after it confirms.
            const off_t next = resync(c, pos);
            if (next < 0) {
                if (c->report)
                    AVI_LOG("Last read ckSize(0x%x) ckID[0x%x] \n", ck.ckSize, ck.ckID);
                break;
            }
            const DWORD len = (DWORD)(next - pos);
            if (keepSpan(c, pos, len) != 0 || passOver(f, len) != 0)
                return -1;
            pos = next;
            continue;
        }
        AVISTREAMHEADER &h = c->streams[si].pStreamBlock->AviStrHeader;
        DWORD flags = AVIIF_LIST;
        if (h.fccType == AVI_FCC_VIDS) {
            unsigned char b[5];
            const DWORD head = ck.ckSize < 5 ? ck.ckSize : 5;
            if (fread(b, head, 1, fp) != 1)
                break;
            flags = (head == 5 && b[4] == 0x27) ? AVIIF_KEYFRAME : 0;
        }
        if (!moviHasRoom(f, avi_chunkSpan(ck.ckSize)))
            return -1;
        if (AVIFileIndexChunk(f, &h, ck.ckID, flags, ck.ckSize, 1) != 0) {
            setErr("Not enough memory for the index.\n");
            return -1;
        }
        if (info) {
            info->chunks[si]++;
            if (flags == AVIIF_KEYFRAME)
                info->keyFrames[si]++;
        }
        // A chunk cut short by the power loss is kept whole; the file ends inside it.
        pos = end;
    }
    if (c->report) {
        AVI_LOG("recovery Done!! \n");
        if (c->spanCount)
            AVI_LOG("Damaged spans skipped: %u, %u bytes\n", (unsigned)c->spanCount,
                    (unsigned)c->spanBytes);
    }
    if (info) {
        info->damagedSpans = c->spanCount;
        info->damagedBytes = c->spanBytes;
    }
    return 0;
}

// A failed step of the rewrite: the system's reason on the console, the step in the message.
static int rewriteFailed(int err, const char *step, uint64_t at)
{
    AVI_LOG("%s\n", strerror(err));
    setErr("File %s fail offset[%u].\n", step, (unsigned)at);
    return -1;
}

// Turns each damaged span that can hold a chunk header into a JUNK chunk over it, so that readers
// going through the chunks in order pass over it too.
static int coverDamage(RcCtx *c)
{
    FILE *fp = c->f->pFile;
    for (DWORD i = 0; i < c->spanCount; i++) {
        const RcSpan &s = c->spans[i];
        if (s.len < sizeof(CK))
            continue;
        const CK junk = {AVI_FCC_JUNK, s.len - (DWORD)sizeof(CK)};
        if (fseeko(fp, s.pos, SEEK_SET) != 0) {
            const int err = errno;
            AVI_LOG("File seek fail offset[%ld]!! \n", L32((DWORD)s.pos));
            return rewriteFailed(err, "seek", (uint64_t)s.pos);
        }
        if (fwrite(&junk, sizeof(CK), 1, fp) != 1) {
            const int err = errno;
            AVI_LOG("File write fail!! \n");
            return rewriteFailed(err, "write", (uint64_t)s.pos);
        }
    }
    return 0;
}

static int rewriteHeaders(RcCtx *c)
{
    AVIFILE *f = c->f;
    // Nothing is written unless all of it fits: past 4 GiB the 32-bit sizes would wrap.
    if (AVIFileCompleteLength(f, (uint64_t)c->moviPos) > AVI_MAX_FILE_LENGTH) {
        setTooLarge();
        return -1;
    }
    if (coverDamage(c) != 0)
        return -1;
    for (DWORD i = 0; i < c->count; i++) {
        AVISTREAMBLOCK *b = c->streams[i].pStreamBlock;
        AVI_LOG("Header info modify [%d]!! \n", (int)i);
        if (fseeko(f->pFile, (off_t)f->nHeadWritten, SEEK_SET) != 0) {
            const int err = errno;
            AVI_LOG("File seek fail offset[%ld]!! \n", L32(f->nHeadWritten));
            return rewriteFailed(err, "seek", f->nHeadWritten);
        }
        const DWORD at = f->nHeadWritten;
        f->nHeadWritten += (DWORD)avi_chunkSpan(b->ck_strl.ckSize);
        AVIStreamApplyCloseRule(f, b);
        if (fwrite(b, AVI_STREAMBLOCK_DISK_SIZE, 1, f->pFile) != 1) {
            const int err = errno;
            AVI_LOG("File write fail!! \n");
            return rewriteFailed(err, "write", at);
        }
    }
    const DWORD movi = f->nHeadWritten;
    // The bytes past the index are cut off: what the scan left out is not part of the file.
    const int rc = AVIFileWriteTail(f, 1);
    const int err = errno;
    const DWORD idx1 = movi + (DWORD)avi_chunkSpan(f->Tail.ck_movi.ckSize);
    switch (rc) {
    case AVI_TAIL_OK:
        break;
    case AVI_TAIL_ESEEK_MOVI:
        AVI_LOG("File seek fail offset[%ld]!! \n", L32(movi));
        return rewriteFailed(err, "seek", movi);
    case AVI_TAIL_ESEEK_IDX1:
        AVI_LOG("File seek fail offset[%d]!! \n", (int)idx1);
        return rewriteFailed(err, "seek", idx1);
    case AVI_TAIL_ESEEK_HEAD:
        AVI_LOG("File seek fail offset[0]!! \n");
        return rewriteFailed(err, "seek", 0);
    case AVI_TAIL_EWRITE_MOVI:
        AVI_LOG("File write fail!! \n");
        return rewriteFailed(err, "write", movi);
    case AVI_TAIL_EWRITE_IDX1:
        AVI_LOG("File write fail!! \n");
        return rewriteFailed(err, "write", idx1);
    case AVI_TAIL_ETRUNCATE:
        AVI_LOG("File write fail!! \n");
        return rewriteFailed(err, "truncate", AVIFileCompleteLength(f, movi));
    case AVI_TAIL_ERANGE:
        setTooLarge();
        return -1;
    default:
        AVI_LOG("File write fail!! \n");
        return rewriteFailed(err, "write", 0);
    }
    AVI_LOG("Header info modified!! \n");
    return 0;
}

static int rcOpen(RcCtx *c, const char *path, const char *mode, bool report)
{
    memset(c, 0, sizeof(*c));
    c->report = report;
    readHdrCnt = 0;
    pVidFormat = nullptr;
    pAudFormat = nullptr;
    c->f = (AVIFILE *)avi_calloc(sizeof(AVIFILE));
    if (!c->f)
        return -1;
    c->f->pFile = fopen(path, mode);
    if (!c->f->pFile) {
        AVI_LOG("fopen() Fail!! \n");
        return -1;
    }
    if (fseeko(c->f->pFile, 0, SEEK_END) == 0)
        c->fileLength = ftello(c->f->pFile);
    fseeko(c->f->pFile, 0, SEEK_SET);
    return 0;
}

static void rcClose(RcCtx *c)
{
    if (c->streams) {
        for (DWORD i = 0; i < c->count; i++)
            avi_free(c->streams[i].pStreamBlock);
        avi_free(c->streams);
    }
    avi_free(c->spans);
    avi_free(pVidFormat);
    avi_free(pAudFormat);
    pVidFormat = nullptr;
    pAudFormat = nullptr;
    AVIFileAbort(c->f); // closes the file and frees the index
    c->f = nullptr;
}

static bool needsRepair(const AVIFILE *f)
{
    return f->Head.ck_riff.ckSize == 0 || f->Tail.ck_movi.ckSize == 0;
}

int AVIrcStart(const char *path)
{
    RcCtx c;
    int rc = -1;
    if (rcOpen(&c, path, "r+b", true) == 0 && readHeaders(&c) == 0) {
        if (!needsRepair(c.f)) {
            rc = 0;
        } else {
            c.f->Tail.ck_idx1 = {AVI_FCC_IDX1, 0};
            if (recoveryStart(&c, nullptr) == 0)
                rc = rewriteHeaders(&c);
        }
    }
    rcClose(&c);
    return rc;
}

int AVIrcInspect(const char *path, AVIRC_INFO *info)
{
    memset(info, 0, sizeof(*info));
    errMsg[0] = 0; // a look is not a repair: its failure text must be its own
    RcCtx c;
    int rc = -1;
    if (rcOpen(&c, path, "rb", false) == 0 && readHeaders(&c) == 0) {
        info->streams = c.count;
        info->avih = c.f->Head.avih;
        for (DWORD i = 0; i < c.count; i++)
            info->strh[i] = c.streams[i].pStreamBlock->AviStrHeader;
        info->needsRepair = needsRepair(c.f);
        rc = recoveryStart(&c, info);
    }
    rcClose(&c);
    return rc;
}

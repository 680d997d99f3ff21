#include "avi/aviencoder.h"

#include "avi/avimem.h"
#include "avi/blockbuffer.h"

#include <string.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

namespace {

// Brings the file's data to the medium (on Windows, q7avi's: FlushFileBuffers through _commit).
int syncData(FILE *fp)
{
#ifdef _WIN32
    return _commit(_fileno(fp));
#else
    return fdatasync(fileno(fp));
#endif
}

} // namespace

int AVIFileOpen(AVIFILE **ppAVIFile, const char *path)
{
    *ppAVIFile = nullptr;
    AVIFILE *f = (AVIFILE *)avi_calloc(sizeof(AVIFILE));
    if (!f)
        return -1;
    f->pFile = fopen(path, "wb");
    if (!f->pFile) {
        AVI_LOG("fopen() Fail!! \n");
        avi_free(f);
        return -1;
    }
    f->Head.ck_riff = {AVI_FCC_RIFF, 0, AVI_FCC_AVI};
    f->Head.ck_hdrl = {AVI_FCC_LIST, AVI_HDRL_BASE_SIZE, AVI_FCC_HDRL};
    f->Head.ck_avih = {AVI_FCC_AVIH, AVI_MAINHEADER_SIZE};
    f->Tail.ck_movi = {AVI_FCC_LIST, 0, AVI_FCC_MOVI};
    f->Tail.ck_idx1 = {AVI_FCC_IDX1, 0};
    f->nOffset = AVI_MOVI_FIRST_OFFSET;
    f->nHeadWritten = AVI_HEADBLOCK_SIZE;
    *ppAVIFile = f;
    return 0;
}

// Allocates the stream and its strl block with the header copied in; null when either fails.
static AVISTREAM *newStream(AVIFILE *f, const AVISTREAMHEADER *psi)
{
    AVISTREAM *s = (AVISTREAM *)avi_calloc(sizeof(AVISTREAM));
    if (!s) {
        AVI_LOG("Can't Create Stream object\n");
        return nullptr;
    }
    s->pStreamBlock = (AVISTREAMBLOCK *)avi_calloc(sizeof(AVISTREAMBLOCK));
    if (!s->pStreamBlock) {
        AVI_LOG("Can't Create Stream Block\n");
        avi_free(s);
        return nullptr;
    }
    s->pAVIFile = f;
    AVISTREAMBLOCK *b = s->pStreamBlock;
    b->AviStrHeader = *psi;
    b->ck_strl = {AVI_FCC_LIST, 0, AVI_FCC_STRL};
    b->ck_strh = {AVI_FCC_STRH, AVI_STREAMHEADER_SIZE};
    return s;
}

int AVIFileCreateStream(AVIFILE *pAVIFile, AVISTREAM **ppStream, const AVISTREAMHEADER *psi)
{
    *ppStream = nullptr;
    AVISTREAM *s = newStream(pAVIFile, psi);
    if (!s)
        return -1;
    AVIMAINHEADER &avih = pAVIFile->Head.avih;
    if (psi->fccType == AVI_FCC_VIDS) {
        s->ck_data.ckID = avi_chunkId(avih.dwStreams, AVI_TWOCC_VIDEO);
        avih.dwMicroSecPerFrame =
            psi->dwRate ? (DWORD)(1000000.0 / psi->dwRate * psi->dwScale + 0.5) : 0;
        avih.dwMaxBytesPerSec = 0;
        avih.dwReserved1 = 0;
        avih.dwFlags = AVIF_HASINDEX | AVIF_ISINTERLEAVED;
        avih.dwTotalFrames = 0;
        avih.dwInitialFrames = 0;
        avih.dwSuggestedBufferSize = psi->dwSuggestedBufferSize;
        avih.dwWidth = psi->rcFrame.right;
        avih.dwHeight = psi->rcFrame.bottom;
        avih.dwScale = psi->dwScale;
        avih.dwRate = psi->dwRate;
        avih.dwStart = 0;
        avih.dwLength = 0;
        avih.dwStreams = 1;
    } else if (psi->fccType == AVI_FCC_AUDS) {
        s->ck_data.ckID = avi_chunkId(avih.dwStreams++, AVI_TWOCC_AUDIO);
    } else if (psi->fccType == AVI_FCC_TXTS) {
        s->ck_data.ckID = avi_chunkId(avih.dwStreams++, AVI_TWOCC_TEXT);
    } else {
        AVI_LOG("Invalid Stream Type: %ld\n", (long)psi->fccType);
        AVIStreamFree(s);
        return -1;
    }
    *ppStream = s;
    return 0;
}

int AVIFileCreateStreamSub(AVIFILE *pAVIFile, AVISTREAM **ppStream, const AVISTREAMHEADER *psi)
{
    *ppStream = nullptr;
    AVISTREAM *s = newStream(pAVIFile, psi);
    if (!s)
        return -1;
    AVIMAINHEADER &avih = pAVIFile->Head.avih;
    if (psi->fccType == AVI_FCC_VIDS)
        s->ck_data.ckID = avi_chunkId(avih.dwStreams++, AVI_TWOCC_VIDEO);
    else if (psi->fccType == AVI_FCC_AUDS)
        s->ck_data.ckID = avi_chunkId(avih.dwStreams++, AVI_TWOCC_AUDIO);
    else {
        AVI_LOG("Invalid Stream Type: %ld\n", (long)psi->fccType);
        AVIStreamFree(s);
        return -1;
    }
    *ppStream = s;
    return 0;
}

int AVIStreamSetFormat(AVISTREAM *pStream, int, const void *lpFormat, int cbFormat)
{
    if (!pStream || cbFormat < 0)
        return -1;
    AVISTREAMBLOCK *b = pStream->pStreamBlock;
    DWORD size = 0;
    if (b->AviStrHeader.fccType != AVI_FCC_TXTS && cbFormat > 0) {
        if (!lpFormat)
            return -1;
        void *copy = avi_calloc((size_t)cbFormat);
        if (!copy) {
            AVI_LOG("Can't Create Stream Format\n");
            return -1;
        }
        memcpy(copy, lpFormat, (size_t)cbFormat);
        avi_free(b->pAviStrFormat);
        b->pAviStrFormat = copy;
        size = (DWORD)cbFormat;
    }
    // A second call replaces the first one's contribution to the hdrl size.
    if (b->ck_strl.ckSize)
        pStream->pAVIFile->Head.ck_hdrl.ckSize -= AVI_CHUNK_HEADER_SIZE + b->ck_strl.ckSize;
    b->ck_strf = {AVI_FCC_STRF, size};
    b->ck_strl.ckSize = AVI_STRL_BASE_SIZE + size;
    pStream->pAVIFile->Head.ck_hdrl.ckSize += AVI_CHUNK_HEADER_SIZE + b->ck_strl.ckSize;
    return 0;
}

int AVIFileMainHeaderWrite(AVIFILE *pAVIFile)
{
    fwrite(&pAVIFile->Head, sizeof(AVIHEADBLOCK), 1, pAVIFile->pFile);
    return 0;
}

// The strl list at the current position: the stored part of the block, then the format record.
int AVIFileStreamHeaderWrite(AVISTREAM *pStream)
{
    AVISTREAMBLOCK *b = pStream->pStreamBlock;
    FILE *fp = pStream->pAVIFile->pFile;
    fwrite(b, AVI_STREAMBLOCK_DISK_SIZE, 1, fp);
    if (b->ck_strf.ckSize && b->pAviStrFormat)
        fwrite(b->pAviStrFormat, b->ck_strf.ckSize, 1, fp);
    return 0;
}

int AVIFileMoviHeaderWrite(AVIFILE *pAVIFile)
{
    fwrite(&pAVIFile->Tail.ck_movi, sizeof(CK_LIST), 1, pAVIFile->pFile);
    fflush(pAVIFile->pFile);
    return 0;
}

static INDEX *newIndexNode(AVIFILE *f)
{
    INDEX_POOL *pool = f->pIndexPool;
    if (!pool || pool->used == AVI_INDEX_POOL_NODES) {
        // Not zeroed: every node is filled in full when it is handed out.
        INDEX_POOL *fresh = (INDEX_POOL *)avi_realloc(nullptr, sizeof(INDEX_POOL));
        if (!fresh)
            return nullptr;
        fresh->prev = pool;
        fresh->used = 0;
        f->pIndexPool = pool = fresh;
    }
    return &pool->node[pool->used++];
}

int AVIFileIndexChunk(AVIFILE *pAVIFile, AVISTREAMHEADER *hdr, FOURCC ckid, DWORD flags, DWORD size,
                      DWORD samples)
{
    const uint64_t span = avi_chunkSpan(size);
    if ((uint64_t)pAVIFile->movi_size + span > AVI_MAX_FILE_LENGTH) {
        AVI_LOG("File too large for the index\n");
        return -1;
    }
    INDEX *node = newIndexNode(pAVIFile);
    if (!node) {
        AVI_LOG("Can't Create Index Node\n");
        return -1;
    }
    node->next = nullptr;
    node->data = {ckid, flags, (DWORD)pAVIFile->nOffset, size};
    INDEX_ROOT &root = pAVIFile->IndexRoot;
    if (root.last)
        root.last->next = node;
    else
        root.first = node;
    root.last = node;
    // Offsets past 2 GiB are still valid DWORDs in the index; keep the sum unsigned.
    pAVIFile->nOffset = (int32_t)((DWORD)pAVIFile->nOffset + (DWORD)span);
    pAVIFile->idx_cnt += 1;
    pAVIFile->movi_size += (DWORD)span;
    if (size > hdr->dwSuggestedBufferSize)
        hdr->dwSuggestedBufferSize = size;
    hdr->dwLength += samples;
    return 0;
}

void AVIFileFreeIndex(AVIFILE *pAVIFile)
{
    INDEX_POOL *pool = pAVIFile->pIndexPool;
    while (pool) {
        INDEX_POOL *prev = pool->prev;
        avi_free(pool);
        pool = prev;
    }
    pAVIFile->pIndexPool = nullptr;
    pAVIFile->IndexRoot.first = nullptr;
    pAVIFile->IndexRoot.last = nullptr;
}

int AVIStreamWrite(AVISTREAM *pStream, int, int lSamples, const void *lpBuffer, int cbBuffer,
                   DWORD dwFlags)
{
    if (!pStream || cbBuffer < 0 || (cbBuffer > 0 && !lpBuffer))
        return -1;
    DWORD n = (DWORD)cbBuffer;
    // The index entry comes first: when it cannot be had, nothing reaches the file, so the index
    // written at close always describes the chunks in the file.
    if (AVIFileIndexChunk(pStream->pAVIFile, &pStream->pStreamBlock->AviStrHeader,
                          pStream->ck_data.ckID, dwFlags, n, (DWORD)lSamples) < 0)
        return -1;
    FILE *fp = pStream->pAVIFile->pFile;
    pStream->ck_data.ckSize = n;
    fwrite(&pStream->ck_data, sizeof(CK), 1, fp);
    if (n)
        fwrite(lpBuffer, 1, n, fp);
    return 0;
}

int AVIStreamWriteBuf(AVISTREAM *pStream, int lStart, int lSamples, const void *lpBuffer,
                      int cbUnit, DWORD dwFlags)
{
    return AVIStreamWrite(pStream, lStart, lSamples, lpBuffer, lSamples * cbUnit, dwFlags);
}

int AVIStreamWriteBufFlush(AVISTREAM *pStream, CBlockBuffer *pBuffer)
{
    if (!pStream || !pBuffer)
        return -1;
    if (pBuffer->GetCurSize()) {
        fwrite(pBuffer->GetData(), 1, pBuffer->GetCurSize(), pStream->pAVIFile->pFile);
        pBuffer->ClearData();
    }
    return 0;
}

void AVIStreamApplyCloseRule(AVIFILE *pAVIFile, AVISTREAMBLOCK *pBlock)
{
    AVISTREAMHEADER &h = pBlock->AviStrHeader;
    if (h.fccType != AVI_FCC_VIDS)
        return;
    h.dwSuggestedBufferSize *= 10;
    AVIMAINHEADER &avih = pAVIFile->Head.avih;
    if (avih.dwWidth == h.rcFrame.right && avih.dwHeight == h.rcFrame.bottom) {
        avih.dwSuggestedBufferSize = h.dwSuggestedBufferSize;
        avih.dwTotalFrames = h.dwLength;
    }
}

void AVIStreamFree(AVISTREAM *pStream)
{
    if (!pStream)
        return;
    if (pStream->pStreamBlock)
        avi_free(pStream->pStreamBlock->pAviStrFormat);
    avi_free(pStream->pStreamBlock);
    avi_free(pStream);
}

int AVIStreamClose(AVISTREAM *pStream)
{
    if (!pStream)
        return -1;
    AVIFILE *f = pStream->pAVIFile;
    AVISTREAMBLOCK *b = pStream->pStreamBlock;
    if (!f->nIndexPos && ftello(f->pFile) >= 0)
        f->nIndexPos = 1;
    // The strl lists follow each other in creation order, so each close rewrites the next one.
    fseeko(f->pFile, (off_t)f->nHeadWritten, SEEK_SET);
    f->nHeadWritten += (DWORD)avi_chunkSpan(b->ck_strl.ckSize);
    AVIStreamApplyCloseRule(f, b);
    AVIFileStreamHeaderWrite(pStream);
    fflush(f->pFile);
    AVIStreamFree(pStream);
    return 0;
}

uint64_t AVIFileCompleteLength(const AVIFILE *pAVIFile, uint64_t moviPos)
{
    return moviPos + avi_chunkSpan(avi_moviListSize(pAVIFile->movi_size)) +
           avi_chunkSpan(avi_indexSize(pAVIFile->idx_cnt));
}

int AVIFileWriteTail(AVIFILE *pAVIFile, int cutAfterIndex)
{
    FILE *fp = pAVIFile->pFile;
    const uint64_t length = AVIFileCompleteLength(pAVIFile, pAVIFile->nHeadWritten);
    if (length > AVI_MAX_FILE_LENGTH)
        return AVI_TAIL_ERANGE;
    if (fseeko(fp, (off_t)pAVIFile->nHeadWritten, SEEK_SET) != 0)
        return AVI_TAIL_ESEEK_MOVI;
    // Below 4 GiB in all (checked above), so every size and offset here fits in 32 bits.
    pAVIFile->Tail.ck_movi.ckSize = (DWORD)avi_moviListSize(pAVIFile->movi_size);
    if (fwrite(&pAVIFile->Tail.ck_movi, sizeof(CK_LIST), 1, fp) != 1)
        return AVI_TAIL_EWRITE_MOVI;

    const DWORD e = pAVIFile->nHeadWritten + (DWORD)avi_chunkSpan(pAVIFile->Tail.ck_movi.ckSize);
    if (fseeko(fp, (off_t)e, SEEK_SET) != 0)
        return AVI_TAIL_ESEEK_IDX1;
    pAVIFile->Tail.ck_idx1.ckSize = (DWORD)avi_indexSize(pAVIFile->idx_cnt);
    if (fwrite(&pAVIFile->Tail.ck_idx1, sizeof(CK), 1, fp) != 1)
        return AVI_TAIL_EWRITE_IDX1;
    for (INDEX *n = pAVIFile->IndexRoot.first; n; n = n->next) {
        if (fwrite(&n->data, sizeof(AVIINDEXENTRY), 1, fp) != 1)
            return AVI_TAIL_EWRITE_IDX1;
    }
    // The index reaches the file here, so that a card too full for it fails as a write.
    if (fflush(fp) != 0)
        return AVI_TAIL_EWRITE_IDX1;
    if (cutAfterIndex && ftruncate(fileno(fp), (off_t)length) != 0)
        return AVI_TAIL_ETRUNCATE;

    if (fseeko(fp, 0, SEEK_SET) != 0)
        return AVI_TAIL_ESEEK_HEAD;
    pAVIFile->Head.ck_riff.ckSize = e + pAVIFile->Tail.ck_idx1.ckSize;
    if (fwrite(&pAVIFile->Head, sizeof(AVIHEADBLOCK), 1, fp) != 1)
        return AVI_TAIL_EWRITE_HEAD;
    if (fflush(fp) != 0)
        return AVI_TAIL_EWRITE_HEAD;
    return AVI_TAIL_OK;
}

void AVIFileAbort(AVIFILE *pAVIFile)
{
    if (!pAVIFile)
        return;
    if (pAVIFile->pFile)
        fclose(pAVIFile->pFile);
    AVIFileFreeIndex(pAVIFile);
    avi_free(pAVIFile);
}

int AVIFileSync(AVIFILE *pAVIFile)
{
    if (!pAVIFile || !pAVIFile->pFile)
        return -1;
    if (fflush(pAVIFile->pFile) != 0)
        return -1;
    return syncData(pAVIFile->pFile) == 0 ? 0 : -1;
}

int AVIFileClose(AVIFILE *pAVIFile)
{
    if (!pAVIFile) {
        AVI_LOG("Invalid pAVIFile object!!! \n");
        return -1;
    }
    if (!pAVIFile->pFile) {
        AVI_LOG("Invalid pFile pointer!!! \n");
        return -1;
    }
    // Write errors show as a short file, as they do for the chunks. The finished file goes to the
    // medium at once: until then a power cut could leave only what the last sync brought there,
    // with the directory entry's length short of the data.
    if (AVIFileWriteTail(pAVIFile, 0) == AVI_TAIL_OK)
        syncData(pAVIFile->pFile);
    AVIFileAbort(pAVIFile);
    return 0;
}

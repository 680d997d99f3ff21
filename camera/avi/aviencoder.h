// Low-level AVI (RIFF) writer: one AVIFILE per file being written, one AVISTREAM per stream.
// The header goes out first with the sizes it cannot know yet left at zero, chunks are appended
// through the buffered file stream, and the index lives in memory until the file is closed, so a
// file cut short by a power loss is a well-formed header followed by a run of chunks.
#pragma once

#include "avi/avi_format.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

class CBlockBuffer;

// One strl list: its first 84 bytes are stored as they are, the format record follows them.
struct AVISTREAMBLOCK {
    CK_LIST ck_strl;
    CK ck_strh;
    AVISTREAMHEADER AviStrHeader;
    CK ck_strf;
    void *pAviStrFormat;
};
static_assert(offsetof(AVISTREAMBLOCK, ck_strf) + sizeof(CK) == AVI_STREAMBLOCK_DISK_SIZE,
              "the stored part of a strl block ends with the strf header");

struct AVITAILBLOCK {
    CK_LIST ck_movi;
    CK ck_idx1;
};
static_assert(sizeof(AVITAILBLOCK) == AVI_LIST_HEADER_SIZE + AVI_CHUNK_HEADER_SIZE,
              "tail block is 20 bytes");

struct INDEX {
    INDEX *next;
    AVIINDEXENTRY data;
};

struct INDEX_ROOT {
    INDEX *first;
    INDEX *last;
    int size;
};

// Index nodes come from blocks of this many, so that a chunk write rarely touches the heap.
#define AVI_INDEX_POOL_NODES 1024

struct INDEX_POOL {
    INDEX_POOL *prev;
    DWORD used;
    INDEX node[AVI_INDEX_POOL_NODES];
};

struct AVIFILE {
    FILE *pFile;
    DWORD movi_size;
    DWORD idx_cnt;
    int32_t nOffset;
    DWORD nIndexPos;
    DWORD nHeadWritten;
    AVIHEADBLOCK Head;
    AVITAILBLOCK Tail;
    INDEX_ROOT IndexRoot;
    INDEX_POOL *pIndexPool; // blocks holding the nodes of IndexRoot, newest first
};

struct AVISTREAM {
    AVIFILE *pAVIFile;
    DWORD nTotalFrames;
    AVISTREAMBLOCK *pStreamBlock;
    CK ck_data;
};

int AVIFileOpen(AVIFILE **ppAVIFile, const char *path);
int AVIFileCreateStream(AVIFILE *pAVIFile, AVISTREAM **ppStream, const AVISTREAMHEADER *psi);
int AVIFileCreateStreamSub(AVIFILE *pAVIFile, AVISTREAM **ppStream, const AVISTREAMHEADER *psi);
int AVIStreamSetFormat(AVISTREAM *pStream, int lPos, const void *lpFormat, int cbFormat);
int AVIFileMainHeaderWrite(AVIFILE *pAVIFile);
int AVIFileStreamHeaderWrite(AVISTREAM *pStream);
int AVIFileMoviHeaderWrite(AVIFILE *pAVIFile);
int AVIStreamWriteBuf(AVISTREAM *pStream, int lStart, int lSamples, const void *lpBuffer,
                      int cbUnit, DWORD dwFlags);
int AVIStreamWrite(AVISTREAM *pStream, int lStart, int lSamples, const void *lpBuffer, int cbBuffer,
                   DWORD dwFlags);
int AVIStreamWriteBufFlush(AVISTREAM *pStream, CBlockBuffer *pBuffer);
int AVIStreamClose(AVISTREAM *pStream);
// Completes the file (stream headers, movi size, idx1, main header), brings it to the medium and
// closes it.
int AVIFileClose(AVIFILE *pAVIFile);
// Brings what was written so far to the medium (the stream's buffer, then fdatasync): the data,
// and the file's length with it. The header's sizes and the index still wait for the close.
int AVIFileSync(AVIFILE *pAVIFile);

// Release without completing anything on disk (a set-up that failed half-way).
void AVIStreamFree(AVISTREAM *pStream);
void AVIFileAbort(AVIFILE *pAVIFile);

// Shared with the repair, which rebuilds a file exactly as a close would have.

// The 32-bit sizes and offsets of an AVI 1.0 file (RIFF size, movi size, idx1 offsets) describe
// files below 4 GiB only.
#define AVI_MAX_FILE_LENGTH 0xFFFFFFFFull

// Accounts one chunk of `size` bytes: appends its index entry at nOffset, advances nOffset,
// idx_cnt and movi_size, and updates dwSuggestedBufferSize and dwLength (+= samples) of `hdr`.
// Fails (-1) without changing anything when no index node can be had, or when the movi data
// would no longer fit in a file below AVI_MAX_FILE_LENGTH.
int AVIFileIndexChunk(AVIFILE *pAVIFile, AVISTREAMHEADER *hdr, FOURCC ckid, DWORD flags, DWORD size,
                      DWORD samples);
// The close rule of a video stream: suggested buffer × 10, and the main header takes it and the
// frame count when the frame size matches.
void AVIStreamApplyCloseRule(AVIFILE *pAVIFile, AVISTREAMBLOCK *pBlock);

// Length of the file once the tail is written with the movi list at `moviPos`: up to the end of
// idx1, computed without the 32-bit wrap.
uint64_t AVIFileCompleteLength(const AVIFILE *pAVIFile, uint64_t moviPos);

enum {
    AVI_TAIL_OK = 0,
    AVI_TAIL_ESEEK_MOVI = -1,
    AVI_TAIL_ESEEK_IDX1 = -2,
    AVI_TAIL_ESEEK_HEAD = -3,
    AVI_TAIL_EWRITE_MOVI = -4,
    AVI_TAIL_EWRITE_IDX1 = -5,
    AVI_TAIL_EWRITE_HEAD = -6,
    AVI_TAIL_ETRUNCATE = -7,
    AVI_TAIL_ERANGE = -8,
};
// With nHeadWritten at the movi list: writes the movi list size, idx1 and its entries, and the
// 88-byte head with the RIFF size. With `cutAfterIndex`, the file is cut after idx1 before the
// head goes out, so a file that still says RIFF size 0 is never left with bytes past its index.
// Returns AVI_TAIL_OK or the step that failed; AVI_TAIL_ERANGE (a file of 4 GiB or more) before
// writing anything.
int AVIFileWriteTail(AVIFILE *pAVIFile, int cutAfterIndex);
void AVIFileFreeIndex(AVIFILE *pAVIFile);

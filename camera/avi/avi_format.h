// The AVI (RIFF) layout of this system's files, for the writer, the repair, the playback and the
// card tools alike: the chunk and list identifiers, the sizes of the fixed parts, the records as
// they lie on disk, chunk identifiers of the movi data, and the reading of the head.
#pragma once

#include <stdint.h>
#include <stdio.h>

typedef uint32_t DWORD;
typedef uint32_t FOURCC;

// The first character is stored in the lowest byte.
#define AVI_FOURCC(a, b, c, d)                                                                     \
    ((FOURCC)(uint8_t)(a) | ((FOURCC)(uint8_t)(b) << 8) | ((FOURCC)(uint8_t)(c) << 16) |           \
     ((FOURCC)(uint8_t)(d) << 24))

// Chunk, list and form identifiers.
constexpr FOURCC AVI_FCC_RIFF = AVI_FOURCC('R', 'I', 'F', 'F');
constexpr FOURCC AVI_FCC_AVI = AVI_FOURCC('A', 'V', 'I', ' ');
constexpr FOURCC AVI_FCC_LIST = AVI_FOURCC('L', 'I', 'S', 'T');
constexpr FOURCC AVI_FCC_HDRL = AVI_FOURCC('h', 'd', 'r', 'l');
constexpr FOURCC AVI_FCC_AVIH = AVI_FOURCC('a', 'v', 'i', 'h');
constexpr FOURCC AVI_FCC_STRL = AVI_FOURCC('s', 't', 'r', 'l');
constexpr FOURCC AVI_FCC_STRH = AVI_FOURCC('s', 't', 'r', 'h');
constexpr FOURCC AVI_FCC_STRF = AVI_FOURCC('s', 't', 'r', 'f');
constexpr FOURCC AVI_FCC_MOVI = AVI_FOURCC('m', 'o', 'v', 'i');
constexpr FOURCC AVI_FCC_IDX1 = AVI_FOURCC('i', 'd', 'x', '1');
constexpr FOURCC AVI_FCC_JUNK = AVI_FOURCC('J', 'U', 'N', 'K');

// Stream types (fccType) and video handlers (fccHandler, biCompression).
constexpr FOURCC AVI_FCC_VIDS = AVI_FOURCC('v', 'i', 'd', 's');
constexpr FOURCC AVI_FCC_AUDS = AVI_FOURCC('a', 'u', 'd', 's');
constexpr FOURCC AVI_FCC_TXTS = AVI_FOURCC('t', 'x', 't', 's');
constexpr FOURCC AVI_FCC_DIVX = AVI_FOURCC('d', 'i', 'v', 'x');
constexpr FOURCC AVI_FCC_H264 = AVI_FOURCC('H', '2', '6', '4');

// Main video, sub video, audio, text.
#define AVI_MAX_STREAMS 4

// Sizes of the fixed parts.
constexpr DWORD AVI_CHUNK_HEADER_SIZE = 8;  // identifier, size
constexpr DWORD AVI_LIST_HEADER_SIZE = 12;  // "LIST", size, list type
constexpr DWORD AVI_MAINHEADER_SIZE = 56;   // avih
constexpr DWORD AVI_STREAMHEADER_SIZE = 56; // strh
constexpr DWORD AVI_INDEXENTRY_SIZE = 16;   // one idx1 entry
constexpr DWORD AVI_HEADBLOCK_SIZE = 88;    // RIFF header, hdrl list header, avih chunk
// The hdrl list size without strl lists: its type and the avih chunk.
constexpr DWORD AVI_HDRL_BASE_SIZE = 4 + AVI_CHUNK_HEADER_SIZE + AVI_MAINHEADER_SIZE;
// A strl list size without its format record: its type, the strh chunk and the strf header.
constexpr DWORD AVI_STRL_BASE_SIZE =
    4 + AVI_CHUNK_HEADER_SIZE + AVI_STREAMHEADER_SIZE + AVI_CHUNK_HEADER_SIZE;
// A strl list up to its format record, as it lies on disk.
constexpr DWORD AVI_STREAMBLOCK_DISK_SIZE = AVI_CHUNK_HEADER_SIZE + AVI_STRL_BASE_SIZE;
// Larger than any chunk this system writes (the playback's staging buffer holds every chunk);
// the repair takes a chunk header stating more for damage.
constexpr DWORD AVI_MAX_CHUNK_SIZE = 1036800;
// idx1 offsets count from the movi list type, so the first chunk is at this offset.
constexpr DWORD AVI_MOVI_FIRST_OFFSET = 4;

// Bytes a chunk of `dataSize` data bytes takes in the file: this system writes no pad byte.
constexpr uint64_t avi_chunkSpan(uint64_t dataSize)
{
    return AVI_CHUNK_HEADER_SIZE + dataSize;
}
// The movi list size over `moviData` bytes of chunks: its type and the data rounded up to 4.
constexpr uint64_t avi_moviListSize(uint64_t moviData)
{
    return 4 + ((moviData + 3) & ~(uint64_t)3);
}
// The idx1 chunk size for `entries` entries.
constexpr uint64_t avi_indexSize(uint64_t entries)
{
    return AVI_INDEXENTRY_SIZE * entries;
}

// Index entry flags.
#define AVIIF_KEYFRAME 0x00000010u
#define AVIIF_LIST 0x00000001u

// Main header flags: has index, interleaved.
#define AVIF_HASINDEX 0x00000010u
#define AVIF_ISINTERLEAVED 0x00000100u

// The two letters after the stream number of a chunk identifier, the first in the lowest byte.
#define AVI_TWOCC(a, b) ((uint16_t)((uint8_t)(a) | ((uint16_t)(uint8_t)(b) << 8)))
constexpr uint16_t AVI_TWOCC_VIDEO = AVI_TWOCC('d', 'c');
constexpr uint16_t AVI_TWOCC_AUDIO = AVI_TWOCC('w', 'b');
constexpr uint16_t AVI_TWOCC_TEXT = AVI_TWOCC('t', 'x');

// The identifier of the chunks of stream `stream` (below AVI_MAX_STREAMS) with the given type:
// '0', '0' + the stream, the two letters ("00dc", "02wb").
constexpr FOURCC avi_chunkId(DWORD stream, uint16_t twocc)
{
    return AVI_FOURCC('0', '0' + stream, 0, 0) | (FOURCC)twocc << 16;
}
// The stream number and type of a chunk identifier; false (nothing set) when it does not begin
// with '0' and a digit.
bool avi_chunkIdDecode(FOURCC id, DWORD *stream, uint16_t *twocc);

// The four characters of `v`, NUL-terminated. Each one outside the printable ASCII range becomes
// `unprintable`, or stays as it is when that is 0.
void avi_fourccText(char out[5], FOURCC v, char unprintable);

struct CK {
    FOURCC ckID;
    DWORD ckSize;
};

struct CK_RIFF {
    FOURCC ckID;
    DWORD ckSize;
    FOURCC ckCodec;
};

struct CK_LIST {
    FOURCC ckID;
    DWORD ckSize;
    FOURCC ckType;
};

struct AVIMAINHEADER {
    DWORD dwMicroSecPerFrame;
    DWORD dwMaxBytesPerSec;
    DWORD dwReserved1;
    DWORD dwFlags;
    DWORD dwTotalFrames;
    DWORD dwInitialFrames;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
};

struct AVI_RECT16 {
    uint16_t left;
    uint16_t top;
    uint16_t right;
    uint16_t bottom;
};

struct AVISTREAMHEADER {
    FOURCC fccType;
    FOURCC fccHandler;
    DWORD dwFlags;
    DWORD dwPriority;
    DWORD dwInitialFrames;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    AVI_RECT16 rcFrame;
};

struct AVIINDEXENTRY {
    FOURCC ckid;
    DWORD dwFlags;
    DWORD dwChunkOffset;
    DWORD dwChunkLength;
};

// The first 88 bytes of every file, always written as one piece at offset 0.
struct AVIHEADBLOCK {
    CK_RIFF ck_riff;
    CK_LIST ck_hdrl;
    CK ck_avih;
    AVIMAINHEADER avih;
};

// Format records (strf).
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    DWORD biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

struct IMAADPCMWAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t wSamplesPerBlock;
};

struct MPEG1WAVEFORMAT {
    WAVEFORMATEX wfx;
    uint16_t fwHeadLayer;
    DWORD dwHeadBitrate;
    uint16_t fwHeadMode;
    uint16_t fwHeadModeExt;
    uint16_t wHeadEmphasis;
    uint16_t fwHeadFlags;
    DWORD dwPTSLow;
    DWORD dwPTSHigh;
};
#pragma pack(pop)

static_assert(sizeof(CK) == AVI_CHUNK_HEADER_SIZE, "chunk header is 8 bytes");
static_assert(sizeof(CK_LIST) == AVI_LIST_HEADER_SIZE, "list header is 12 bytes");
static_assert(sizeof(AVIMAINHEADER) == AVI_MAINHEADER_SIZE, "avih is 56 bytes");
static_assert(sizeof(AVISTREAMHEADER) == AVI_STREAMHEADER_SIZE, "strh is 56 bytes");
static_assert(sizeof(AVIINDEXENTRY) == AVI_INDEXENTRY_SIZE, "index entry is 16 bytes");
static_assert(sizeof(AVIHEADBLOCK) == AVI_HEADBLOCK_SIZE, "head block is 88 bytes");
static_assert(AVI_HDRL_BASE_SIZE == 68 && AVI_STRL_BASE_SIZE == 76 &&
                  AVI_STREAMBLOCK_DISK_SIZE == 84,
              "list sizes of the layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "video format is 40 bytes");
static_assert(sizeof(WAVEFORMATEX) == 18, "mu-law format is 18 bytes");
static_assert(sizeof(IMAADPCMWAVEFORMAT) == 20, "IMA ADPCM format is 20 bytes");
static_assert(sizeof(MPEG1WAVEFORMAT) == 40, "MPEG-1 audio format is 40 bytes");

// Reading a file's head; each caller words its own failure.
enum {
    AVI_READ_OK = 0,
    AVI_READ_ESHORT = -1, // the file ends before the record
    AVI_READ_EID = -2,    // an identifier is not the expected one
};
// Reads the 88-byte head at the current position into `head`: "RIFF" of form "AVI ", the list
// type "hdrl" and the "avih" chunk.
int avi_readHead(FILE *fp, AVIHEADBLOCK *head);
// Reads the movi list header at the current position into `movi`: "LIST" of type "movi". A short
// read may leave part of the record filled in.
int avi_readMoviHeader(FILE *fp, CK_LIST *movi);

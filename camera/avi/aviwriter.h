// Recording writer: one object records one AVI file of up to four streams (main video, sub
// video, audio, text), in the layout of the low-level writer.
#pragma once

#include "avi/aviencoder.h"
#include "avi/blockbuffer.h"

typedef int BOOL;
typedef unsigned char BYTE;

enum IME6400_ENCODETYPE {
    IME6400_ET_RESERVED0 = 0,
    IME6400_ET_VIDEO = 1,
    IME6400_ET_RESERVED1 = 2,
    IME6400_ET_SYSTEM = 3,
};

enum IME6400_STANDARD {
    IME6400_SD_MPEG4 = 0,
    IME6400_SD_H264 = 1,
};

enum IME6400_CHANNELMODE {
    IME6400_CM_SINGLE = 0,
    IME6400_CM_SUBPIC = 1,
    IME6400_CM_MULTI = 2,
};

enum IME6400_AUDIOMODE {
    IME6400_AM_MPEG1L2 = 0,
    IME6400_AM_MULAW = 1,
    IME6400_AM_ADPCM = 2,
};

typedef struct tag_SYSTEM_PARAM {
    uint32_t uSystemType;
    uint32_t uChannelMode;
    int nEnableMeta;
    uint32_t uVideoType;
    int nMainWidth;
    int nMainHeight;
    int nSubWidth;
    int nSubHeight;
    double fFrameRate;
    int nAudioType;
    int nAudioChannel;
    int nSamplesPerSec;
    int nAudioBitRate;
    int nAudioFrameSize;
    int nAudioBitPerSample;
} SYSTEM_PARAM;

class CAVIWriter
{
public:
    static CAVIWriter *CreateNew();
    CAVIWriter();
    ~CAVIWriter();
    CAVIWriter(const CAVIWriter &) = delete;
    CAVIWriter &operator=(const CAVIWriter &) = delete;

    BOOL IsRecord() { return m_bFileOpen; }
    BOOL Open(const char *path, const SYSTEM_PARAM *param);
    BOOL WriteVideoData(BYTE *pData, int size, BOOL bKeyFrame, int count, int channel);
    BOOL WriteAudioData(BYTE *pData, int size, int count);
    BOOL WriteMetaData(BYTE *pData, int size, int count);
    void Close();
    // The chunks written so far onto the medium; -1 when no file is open or the sync failed.
    BOOL Sync();

private:
    // The streams in creation order, which fixes their strl lists and chunk identifiers (00dc,
    // 01dc, then audio and text with the next digits); the stream closes keep it too.
    enum { kMainVideo, kSubVideo, kAudio, kText, kStreamCount };
    static_assert(kStreamCount == AVI_MAX_STREAMS, "every stream a file can hold");
    struct StreamSetup {
        bool wanted;
        const AVISTREAMHEADER *header;
        const void *format;
        int formatSize;
    };
    void StreamSlots(AVISTREAM **slots[kStreamCount]);
    // Creates the wanted streams in order, each with its format. 0, or the failing call's result
    // with the stream and the call named.
    int CreateStreams(const StreamSetup setup[kStreamCount], int *failed, const char **call);
    void ReleaseStreams();

    CBlockBuffer m_BlockBuffer;
    [[maybe_unused]] FILE *m_fileExtra; // not used
    BOOL m_bFileOpen;
    int m_nSystemType;
    int m_nChannelMode;
    int m_nEnableMeta;
    int m_nAudioType;
    [[maybe_unused]] int m_nAudioFrameSize; // not used
    BOOL m_bFirstVideo[2];
    AVISTREAMHEADER m_strvhdr[2];
    AVISTREAMHEADER m_strahdr;
    AVISTREAMHEADER m_strmhdr;
    AVIFILE *m_pfile;
    AVISTREAM *m_vps[2];
    AVISTREAM *m_aps;
    AVISTREAM *m_mps;
};

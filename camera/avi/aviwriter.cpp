#include "avi/aviwriter.h"

#include "avi/avimem.h"

#include <new>
#include <stdio.h>
#include <string.h>

CAVIWriter *CAVIWriter::CreateNew()
{
    return new (std::nothrow) CAVIWriter();
}

CAVIWriter::CAVIWriter()
    : m_fileExtra(nullptr), m_bFileOpen(0), m_nSystemType(0), m_nChannelMode(0), m_nEnableMeta(0),
      m_nAudioType(0),
      m_nAudioFrameSize(0), m_bFirstVideo{0, 0}, m_strvhdr{}, m_strahdr{}, m_strmhdr{},
      m_pfile(nullptr), m_vps{nullptr, nullptr}, m_aps(nullptr), m_mps(nullptr)
{}

CAVIWriter::~CAVIWriter()
{
    m_BlockBuffer.Free();
}

static FOURCC videoHandler(uint32_t uVideoType)
{
    if (uVideoType == IME6400_SD_MPEG4)
        return AVI_FCC_DIVX;
    if (uVideoType == IME6400_SD_H264)
        return AVI_FCC_H264;
    return 0;
}

static void prepareVideo(AVISTREAMHEADER *h, BITMAPINFOHEADER *bi, FOURCC handler, int width,
                         int height, double frameRate)
{
    memset(h, 0, sizeof(*h));
    h->fccType = AVI_FCC_VIDS;
    h->fccHandler = handler;
    h->dwScale = 100;
    h->dwRate = (DWORD)(frameRate * 100);
    h->dwQuality = 0xFFFFFFFFu;
    h->rcFrame = {0, 0, (uint16_t)width, (uint16_t)height};

    memset(bi, 0, sizeof(*bi));
    bi->biSize = sizeof(BITMAPINFOHEADER);
    bi->biWidth = width;
    bi->biHeight = height;
    bi->biPlanes = 1;
    bi->biBitCount = 24;
    bi->biCompression = handler;
    bi->biSizeImage = (DWORD)width * (DWORD)height * 3;
}

// The audio format record of the given type; returns its size.
union AudioFormat {
    WAVEFORMATEX mulaw;
    IMAADPCMWAVEFORMAT adpcm;
    MPEG1WAVEFORMAT mpeg;
};

static int prepareAudio(AVISTREAMHEADER *h, AudioFormat *fmt, const SYSTEM_PARAM *p)
{
    memset(h, 0, sizeof(*h));
    memset(fmt, 0, sizeof(*fmt));
    h->fccType = AVI_FCC_AUDS;
    h->fccHandler = 1;
    h->dwScale = 1;
    h->dwRate = (DWORD)p->nAudioBitRate;
    h->dwSuggestedBufferSize = (DWORD)p->nAudioFrameSize;
    h->dwQuality = 0xFFFFFFFFu;

    WAVEFORMATEX *wfx = &fmt->mulaw;
    wfx->nChannels = (uint16_t)p->nAudioChannel;
    wfx->nSamplesPerSec = (DWORD)p->nSamplesPerSec;
    switch (p->nAudioType) {
    case IME6400_AM_MULAW:
        h->dwSampleSize = (DWORD)p->nAudioChannel;
        wfx->wFormatTag = 7;
        wfx->nAvgBytesPerSec = (DWORD)p->nSamplesPerSec * (DWORD)p->nAudioChannel;
        wfx->nBlockAlign = (uint16_t)p->nAudioChannel;
        wfx->wBitsPerSample = 8;
        wfx->cbSize = 0;
        return (int)sizeof(WAVEFORMATEX);
    case IME6400_AM_ADPCM:
        h->dwScale = (DWORD)p->nAudioFrameSize;
        h->dwSampleSize = (DWORD)p->nAudioFrameSize;
        wfx->wFormatTag = 0x0011;
        wfx->nAvgBytesPerSec = ((DWORD)p->nSamplesPerSec * (DWORD)p->nAudioChannel * 4) / 8;
        wfx->nBlockAlign = 512;
        wfx->wBitsPerSample = 4;
        wfx->cbSize = 2;
        fmt->adpcm.wSamplesPerBlock =
            wfx->nAvgBytesPerSec ? (uint16_t)((DWORD)p->nAudioFrameSize * (DWORD)p->nSamplesPerSec /
                                              wfx->nAvgBytesPerSec)
                                 : 0;
        return (int)sizeof(IMAADPCMWAVEFORMAT);
    default: // IME6400_AM_MPEG1L2; Open has refused every other value
        h->dwSampleSize = 1;
        wfx->wFormatTag = 0x0050;
        wfx->nAvgBytesPerSec = (DWORD)(p->nAudioBitRate / 8);
        wfx->nBlockAlign = 1;
        wfx->wBitsPerSample = 16;
        wfx->cbSize = 22;
        fmt->mpeg.fwHeadLayer = 2;
        fmt->mpeg.dwHeadBitrate = (DWORD)p->nAudioBitRate;
        fmt->mpeg.fwHeadMode = 1;
        return (int)sizeof(MPEG1WAVEFORMAT);
    }
}

void CAVIWriter::StreamSlots(AVISTREAM **slots[kStreamCount])
{
    slots[kMainVideo] = &m_vps[0];
    slots[kSubVideo] = &m_vps[1];
    slots[kAudio] = &m_aps;
    slots[kText] = &m_mps;
}

int CAVIWriter::CreateStreams(const StreamSetup setup[kStreamCount], int *failed, const char **call)
{
    AVISTREAM **slots[kStreamCount];
    StreamSlots(slots);
    for (int i = 0; i < kStreamCount; i++) {
        if (!setup[i].wanted)
            continue;
        *failed = i;
        // The sub video must not take over the main header.
        int rc = i == kSubVideo ? AVIFileCreateStreamSub(m_pfile, slots[i], setup[i].header)
                                : AVIFileCreateStream(m_pfile, slots[i], setup[i].header);
        if (rc != 0) {
            *call = "AVIFileCreateStream";
            return rc;
        }
        rc = AVIStreamSetFormat(*slots[i], 0, setup[i].format, setup[i].formatSize);
        if (rc != 0) {
            *call = "AVIStreamSetFormat";
            return rc;
        }
    }
    return 0;
}

void CAVIWriter::ReleaseStreams()
{
    AVISTREAM **slots[kStreamCount];
    StreamSlots(slots);
    for (AVISTREAM **s : slots) {
        AVIStreamFree(*s);
        *s = nullptr;
    }
}

BOOL CAVIWriter::Open(const char *path, const SYSTEM_PARAM *param)
{
    if (m_bFileOpen || m_pfile || m_vps[0] || m_vps[1] || m_aps || m_mps)
        return -1;
    const bool video =
        param->uSystemType == IME6400_ET_VIDEO || param->uSystemType == IME6400_ET_SYSTEM;
    const bool sub = video && param->uChannelMode == IME6400_CM_SUBPIC;
    const bool audio = param->uSystemType == IME6400_ET_SYSTEM;
    if (audio && (param->nAudioType < IME6400_AM_MPEG1L2 || param->nAudioType > IME6400_AM_ADPCM)) {
        // An audio stream without a format record would be unreadable.
        AVI_LOG("Invalid audio type: %d\n", param->nAudioType);
        return -1;
    }

    m_nSystemType = (int)param->uSystemType;
    m_nChannelMode = (int)param->uChannelMode;
    m_nEnableMeta = param->nEnableMeta;
    m_nAudioType = param->nAudioType;
    const FOURCC handler = videoHandler(param->uVideoType);

    BITMAPINFOHEADER vfmt[2];
    AudioFormat afmt;
    int afmtSize = 0;
    if (video) {
        prepareVideo(&m_strvhdr[0], &vfmt[0], handler, param->nMainWidth, param->nMainHeight,
                     param->fFrameRate);
        m_bFirstVideo[0] = 1;
        if (sub) {
            prepareVideo(&m_strvhdr[1], &vfmt[1], handler, param->nSubWidth, param->nSubHeight,
                         param->fFrameRate);
            m_bFirstVideo[1] = 1;
        }
        if (audio)
            afmtSize = prepareAudio(&m_strahdr, &afmt, param);
    }
    if (m_nEnableMeta) {
        memset(&m_strmhdr, 0, sizeof(m_strmhdr));
        m_strmhdr.fccType = AVI_FCC_TXTS;
        m_strmhdr.dwScale = 100;
        m_strmhdr.dwQuality = 0xFFFFFFFFu;
    }
    const StreamSetup setup[kStreamCount] = {
        {video, &m_strvhdr[0], &vfmt[0], (int)sizeof(vfmt[0])},
        {sub, &m_strvhdr[1], &vfmt[1], (int)sizeof(vfmt[1])},
        {video && audio, &m_strahdr, &afmt, afmtSize},
        {m_nEnableMeta != 0, &m_strmhdr, nullptr, 0},
    };
    static const char *const kLabel[kStreamCount] = {" MAIN", " SUB", "", ""};

    int rc = AVIFileOpen(&m_pfile, path);
    if (rc != 0) {
        AVI_LOG("AVIFileOpen error : 0x%x\n", rc);
        return -1;
    }
    int failed = 0;
    const char *call = "";
    if ((rc = CreateStreams(setup, &failed, &call)) != 0) {
        AVI_LOG("%s%s error : 0x%x\n", call, kLabel[failed], rc);
        // Nothing has been written yet; the empty file would only look like a recording.
        ReleaseStreams();
        AVIFileAbort(m_pfile);
        m_pfile = nullptr;
        remove(path);
        return -1;
    }

    AVIFileMainHeaderWrite(m_pfile);
    AVISTREAM **slots[kStreamCount];
    StreamSlots(slots);
    for (AVISTREAM **s : slots) {
        if (*s)
            AVIFileStreamHeaderWrite(*s);
    }
    AVIFileMoviHeaderWrite(m_pfile);
    m_bFileOpen = 1;
    return 0;
}

BOOL CAVIWriter::WriteVideoData(BYTE *pData, int size, BOOL bKeyFrame, int count, int channel)
{
    if (!m_bFileOpen) {
        AVI_LOG("File is not opened!!\n");
        return -1;
    }
    if (channel < 0 || channel > 1 || !m_vps[channel]) {
        AVI_LOG("AVI writing error : m_vps is NULL\n");
        return -1;
    }
    if (bKeyFrame)
        m_bFirstVideo[channel] = 0;
    return AVIStreamWriteBuf(m_vps[channel], 0, count, pData, size, bKeyFrame ? AVIIF_KEYFRAME : 0);
}

BOOL CAVIWriter::WriteAudioData(BYTE *pData, int size, int count)
{
    if (!m_bFileOpen) {
        AVI_LOG("File is not opened!!\n");
        return -1;
    }
    if (!m_aps) {
        AVI_LOG("AVI writing error : m_aps is NULL\n");
        return -1;
    }
    return AVIStreamWriteBuf(m_aps, 1, count, pData, size, AVIIF_LIST);
}

BOOL CAVIWriter::WriteMetaData(BYTE *pData, int size, int count)
{
    if (!m_bFileOpen) {
        AVI_LOG("File is not opened!!\n");
        return -1;
    }
    if (!m_mps) {
        AVI_LOG("AVI writing error : m_mps is NULL\n");
        return -1;
    }
    return AVIStreamWriteBuf(m_mps, 1, count, pData, size, AVIIF_LIST);
}

BOOL CAVIWriter::Sync()
{
    if (!m_bFileOpen)
        return -1;
    return AVIFileSync(m_pfile);
}

void CAVIWriter::Close()
{
    if (!m_bFileOpen)
        return;
    // In creation order: each close rewrites the next strl list.
    AVISTREAM **slots[kStreamCount];
    StreamSlots(slots);
    for (AVISTREAM **s : slots) {
        if (*s)
            AVIStreamClose(*s);
        *s = nullptr;
    }
    AVIFileClose(m_pfile);
    m_bFileOpen = 0;
    m_pfile = nullptr;
}

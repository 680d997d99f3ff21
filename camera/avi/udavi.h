// Handle interface of the AVI library: the recorder opens, feeds and closes recording writers
// through an opaque handle, and the main menu repairs files cut short.
#pragma once

#include <stdint.h>

enum enumDVR_SYSTEM_TYPE {
    SYSTEM_TYPE_VIDEO = 0,
    SYSTEM_TYPE_AUDIO_VIDEO = 1,
};

enum enumDVR_CHANNEL_MODE {
    CHANNEL_MODE_SINGLE = 0,
    CHANNEL_MODE_SUBPIC = 1,
};

enum enumDVR_DATA_TYPE {
    DATA_TYPE_VIDEO_MAIN = 0,
    DATA_TYPE_VIDEO_SUB = 1,
    DATA_TYPE_AUDIO = 2,
    DATA_TYPE_TEXT = 3,
};

enum enumDVR_ENCODING_TYPE {
    ENCODING_UNKNOWN = 0,
    ENCODING_MPEG4 = 1,
    ENCODING_JPEG = 2,
    ENCODING_H264 = 3,
    ENCODING_PCM = 32,
    ENCODING_ULAW = 33,
    ENCODING_ALAW = 34,
    ENCODING_ADPCM = 35,
    ENCODING_G721 = 36,
    ENCODING_G723 = 37,
    ENCODING_MP3 = 38,
};

typedef struct tag_AVI_SYSTEM_PARAM {
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
} AVI_SYSTEM_PARAM;

typedef struct tag_AVI_FRAME_PARAM {
    unsigned char *buf;
    int size;
    int channel;
    int data_type;
    int iskey_frame;
    int time_sec;
    int time_usec;
} AVI_FRAME_PARAM;

// Handle or null.
void *LIBAVI_createAvi(char *filePullPath, AVI_SYSTEM_PARAM *pAviPrm);
// Always 0: a failed write shows only in its printed message.
int LIBAVI_write_frame(void *handlAvi, AVI_FRAME_PARAM *pframePrm);
int LIBAVI_closeAvi(void *handlAvi);
// Brings the frames written so far onto the card, so that a power cut cannot take them (the
// repair then finds them). 0 also for a null handle; -1 when the sync failed.
int LIBAVI_syncAvi(void *handlAvi);
// 0 when the file was repaired or needed no repair, -1 on failure.
int LIBAVI_recoverFile(char *filePullPath);
const char *LIBAVI_recoverGetErrMsg(void);

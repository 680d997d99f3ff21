// Host interface of the video co-processors: the system and its use cases (Vsys), the main
// camera (Vcam), the sub camera capture (Vcap), the encoders (Venc), the decoder (Vdec) and the
// display (Vdis). Every module has _params_init, _init, _start, _stop and _exit; results are 0
// for success and negative for failure.
#pragma once

#include <stdint.h>

// ---- System ----------------------------------------------------------------------------------

enum {
    SYSTEM_EVENT_VIDEO_STATUS_CHANGE = 0,
    SYSTEM_EVENT_MAIN_MOTION = 2,
    SYSTEM_EVENT_SUB_MOTION = 3,
};

typedef int (*System_EventHandler)(uint32_t eventId, void *appData);

int System_init(void);
int System_deInit(void);
// The handler is called on a platform thread.
int System_linkRegisterEventHandler(System_EventHandler handler, void *appData);

// ---- Vsys: the system and its use case ---------------------------------------------------------

enum {
    VSYS_USECASE_SINGLE_STREAM = 15,       // one camera: main (camera input) or sub (capture input)
    VSYS_USECASE_DUAL_STREAM_CAPTURE = 16, // main and sub camera
    VSYS_USECASE_DUAL_STREAM_DECODER = 17, // host bits through the decoder to the display
};

struct VSYS_PARAMS_S {
    uint32_t systemUseCase;
    uint32_t enableCapture; // sub camera capture is the source (single stream)
    uint32_t enableCamera;  // main camera is the source (single stream)
    uint32_t enableEncode;
    uint32_t enableMjpeg; // JPEG snapshot channels
    uint32_t enableTvOut;
};

// On-screen display record, 20 words.
struct VSYS_SWOSD_PRM {
    uint32_t chId;        // word 0
    uint32_t word1_7[7];  // words 1-7
    const char *text;     // word 8
    uint32_t word9_10[2]; // words 9-10
    uint32_t frameRate;   // word 11 (set 3)
    uint32_t word12_16[5];
    uint32_t mode;   // word 17 (set 6): 1 start text, 2 stop text, 0 clear
    uint32_t colour; // word 18 (set 6)
    uint32_t value;  // word 19 (set 7)
};

enum {
    VSYS_SWOSD_SET_FRAMERATE = 3,
    VSYS_SWOSD_SET_TEXT = 6,
    VSYS_SWOSD_SET_VALUE = 7,
};

void Vsys_params_init(VSYS_PARAMS_S *prm);
int Vsys_init(VSYS_PARAMS_S *prm);
int Vsys_create(void);
int Vsys_delete(void);
int Vsys_exit(void);
int Vsys_get_device_status(uint32_t *subStatus, uint32_t *mainStatus);
int Vsys_setSwOsdPrm(int set, VSYS_SWOSD_PRM *prm);
int Vsys_dateTime_init(void);

// ---- Vcam: the main camera ---------------------------------------------------------------------

struct VCAM_PARAMS_S {
    uint32_t width;
    uint32_t height;
};

void Vcam_params_init(VCAM_PARAMS_S *prm);
int Vcam_init(VCAM_PARAMS_S *prm);
int Vcam_start(void);
int Vcam_stop(void);
int Vcam_exit(void);
int Vcam_set_video_reg(uint16_t *addr, uint16_t *value);
// option: the menu character '1' sharpness, '2' brightness, '3' contrast; level 1-7.
int Vcam_set_video_option(int option, int level);
int Vcam_get_camera_status(uint32_t *status);

// ---- Vcap: the sub camera capture --------------------------------------------------------------

struct VCAP_PARAMS_S {
    uint32_t width;
    uint32_t height;
};

enum {
    VCAP_DEV_VIDEO_DECODER = 0,
    VCAP_DEV_SERIAL_LINK = 2,
};

void Vcap_params_init(VCAP_PARAMS_S *prm);
int Vcap_init(VCAP_PARAMS_S *prm);
int Vcap_start(void);
int Vcap_stop(void);
int Vcap_exit(void);
int Vcap_get_video_status(uint32_t *hasSignal);
int Vcap_set_video_reg(int device, uint8_t reg, uint8_t value);
int Vcap_get_video_reg(int device, uint8_t reg, uint8_t *value);

// ---- Encoded buffers (shared by Venc and Vdec) ------------------------------------------------

enum {
    VCODEC_TYPE_JPEG = 0,
    VCODEC_TYPE_MJPEG = 24,
    VCODEC_TYPE_H264 = 9,
};

enum {
    VCODEC_FRAME_TYPE_I = 0,
    VCODEC_FRAME_TYPE_P = 1,
};

#define VCODEC_BITSBUF_MAX 256

// One encoded buffer: 84 bytes on the board.
struct VCODEC_BITSBUF_S {
    uint32_t chnId;
    uint32_t codecType;
    uint32_t frameType;
    uint32_t filledBufSize;
    void *bufVirtAddr; // valid until the list holding it is released
    uint32_t frameWidth;
    uint32_t frameHeight;
    uint32_t bufSize;
    uint32_t startOffset;
    uint32_t timestamp; // milliseconds of the platform clock
    uint32_t upperTimeStamp;
    uint32_t lowerTimeStamp;
    uint32_t encodeTimestamp;
    uint32_t numTemporalLayerSetInHeader;
    uint32_t temporalId;
    uint32_t fieldId;
    uint32_t mvDataFilledSize;
    uint32_t mvDataOffset;
    uint32_t inputFileChanged;
    uint32_t seqId; // frame number within the channel
    uint32_t reserved;
};

struct VCODEC_BITSBUF_LIST_S {
    uint32_t numBufs;
    VCODEC_BITSBUF_S bitsBuf[VCODEC_BITSBUF_MAX];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(VCODEC_BITSBUF_S) == 84, "encoded buffer descriptor is 84 bytes");
static_assert(sizeof(VSYS_SWOSD_PRM) == 80, "display record is 20 words");
#endif

// ---- Venc: the encoders ------------------------------------------------------------------------

#define VENC_CHN_MAX 4

enum {
    VENC_CHN_MAIN_H264 = 0,
    VENC_CHN_SUB_H264 = 1,
    VENC_CHN_MAIN_JPEG = 2,
    VENC_CHN_SUB_JPEG = 3,
};

struct VENC_CHN_PARAMS_S {
    uint32_t width;
    uint32_t height;
    uint32_t frameRate;
    uint32_t targetBitRate; // bit/s
    uint32_t intraFrameInterval;
};

struct VENC_PARAMS_S {
    uint32_t numPrimaryChn; // H.264 channels: 1, or 2 with the sub stream
    uint32_t enableMjpeg;
    VENC_CHN_PARAMS_S chn[VENC_CHN_MAX];
};

// Dynamic parameter record, 144 bytes, cleared before use.
struct VENC_DYNPARAMS_S {
    uint32_t frameRate;          // word 0
    uint32_t targetBitRate;      // word 1
    uint32_t intraFrameInterval; // word 2
    uint32_t word3_25[23];
    uint32_t mdEnable; // word 26
    uint32_t word27;
    uint32_t mdLevel; // word 28: 1-5
    uint32_t word29;
    uint32_t mdBlockMask[2]; // words 30, 31: the 4 x 3 block mask
    uint32_t word32_35[4];
};
static_assert(sizeof(VENC_DYNPARAMS_S) == 144, "encoder dynamic record is 144 bytes");

enum {
    VENC_DYN_BITRATE = 0,
    VENC_DYN_FRAMERATE = 1,
    VENC_DYN_IFRAME_INTERVAL = 2,
    VENC_DYN_MOTION = 14,
};

struct VENC_CALLBACK_S {
    int (*newDataAvailableCb)(void *appData); // on a platform thread; must return at once
};

void Venc_params_init(VENC_PARAMS_S *prm);
int Venc_init(VENC_PARAMS_S *prm);
int Venc_start(void);
int Venc_stop(void);
int Venc_exit(void);
int Venc_registerCallback(VENC_CALLBACK_S *callback, void *appData);
// Takes every ready buffer (timeout 0: return at once, possibly with none).
int Venc_getBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list, int timeout);
int Venc_releaseBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list);
int Venc_setInputFrameRate(int channel, int fps);
int Venc_setDynamicParam(int channel, int streamId, VENC_DYNPARAMS_S *prm, int kind);

// ---- Vdec: the decoder -------------------------------------------------------------------------

#define VDEC_CHN_MAX 2

struct VDEC_CHN_PARAMS_S {
    uint32_t width;
    uint32_t height;
    uint32_t frameRate;
};

struct VDEC_PARAMS_S {
    uint32_t numChn;
    VDEC_CHN_PARAMS_S chn[VDEC_CHN_MAX];
};

struct VDEC_BUF_REQUEST_S {
    uint32_t numBufs; // at most VCODEC_BITSBUF_MAX
    uint32_t minBufSize[VDEC_CHN_MAX];
};

void Vdec_params_init(VDEC_PARAMS_S *prm);
int Vdec_init(VDEC_PARAMS_S *prm);
int Vdec_start(void);
int Vdec_stop(void);
int Vdec_exit(void);
// Grants up to numBufs empty buffers (address, bufSize, chnId), possibly none.
int Vdec_requestBitstreamBuffer(VDEC_BUF_REQUEST_S *req, VCODEC_BITSBUF_LIST_S *list, int timeout);
// Takes buffers filled with one access unit each (chnId, codecType, filledBufSize).
int Vdec_putBitstreamBuffer(VCODEC_BITSBUF_LIST_S *list);

// ---- Vdis: the display -------------------------------------------------------------------------

#define VDIS_DEV_SD 3 // the second (TV-out) display
#define VDIS_MOSAIC_WIN_MAX 16

struct VDIS_MOSAIC_WIN_S {
    uint32_t startX;
    uint32_t startY;
    uint32_t width;
    uint32_t height;
};

struct VDIS_MOSAIC_S {
    uint32_t displayWidth;
    uint32_t displayHeight;
    uint32_t numberOfWindows;
    VDIS_MOSAIC_WIN_S winList[VDIS_MOSAIC_WIN_MAX];
    uint32_t chnMap[VDIS_MOSAIC_WIN_MAX];
    uint32_t outputFPS;
};

struct VDIS_PARAMS_S {
    uint32_t enableTvOut;
};

void Vdis_params_init(VDIS_PARAMS_S *prm);
int Vdis_init(VDIS_PARAMS_S *prm);
int Vdis_start(void);
int Vdis_stop(void);
int Vdis_exit(void);
int Vdis_startDrv(int display);
int Vdis_stopDrv(int display);
int Vdis_setMosaicParams(int display, VDIS_MOSAIC_S *layout);

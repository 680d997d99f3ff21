#include "avi/udavi.h"

#include "avi/avirecover.h"
#include "avi/aviwriter.h"

void *LIBAVI_createAvi(char *filePullPath, AVI_SYSTEM_PARAM *pAviPrm)
{
    CAVIWriter *w = CAVIWriter::CreateNew();
    if (!w)
        return nullptr;
    SYSTEM_PARAM p = {};
    p.uSystemType =
        pAviPrm->uSystemType == SYSTEM_TYPE_VIDEO ? IME6400_ET_VIDEO : IME6400_ET_SYSTEM;
    p.uChannelMode =
        pAviPrm->uChannelMode == CHANNEL_MODE_SUBPIC ? IME6400_CM_SUBPIC : IME6400_CM_SINGLE;
    p.nEnableMeta = pAviPrm->nEnableMeta;
    p.uVideoType = pAviPrm->uVideoType == ENCODING_MPEG4 ? IME6400_SD_MPEG4 : IME6400_SD_H264;
    p.nMainWidth = pAviPrm->nMainWidth;
    p.nMainHeight = pAviPrm->nMainHeight;
    p.nSubWidth = pAviPrm->nSubWidth;
    p.nSubHeight = pAviPrm->nSubHeight;
    p.fFrameRate = pAviPrm->fFrameRate;
    p.nAudioType = pAviPrm->nAudioType == ENCODING_ADPCM ? IME6400_AM_ADPCM : IME6400_AM_MULAW;
    p.nAudioChannel = pAviPrm->nAudioChannel;
    p.nSamplesPerSec = pAviPrm->nSamplesPerSec;
    p.nAudioBitRate = pAviPrm->nAudioBitRate;
    p.nAudioFrameSize = pAviPrm->nAudioFrameSize;
    p.nAudioBitPerSample = pAviPrm->nAudioBitPerSample;
    if (w->Open(filePullPath, &p) != 0) {
        delete w;
        return nullptr;
    }
    return w;
}

int LIBAVI_write_frame(void *handlAvi, AVI_FRAME_PARAM *pframePrm)
{
    if (!handlAvi || !pframePrm)
        return 0;
    CAVIWriter *w = (CAVIWriter *)handlAvi;
    switch (pframePrm->data_type) {
    case DATA_TYPE_VIDEO_MAIN:
    case DATA_TYPE_VIDEO_SUB:
        w->WriteVideoData(pframePrm->buf, pframePrm->size, pframePrm->iskey_frame, 1,
                          pframePrm->data_type);
        break;
    case DATA_TYPE_AUDIO:
        w->WriteAudioData(pframePrm->buf, pframePrm->size, 1);
        break;
    case DATA_TYPE_TEXT:
        w->WriteMetaData(pframePrm->buf, pframePrm->size, 1);
        break;
    default:
        break;
    }
    return 0;
}

int LIBAVI_closeAvi(void *handlAvi)
{
    if (!handlAvi)
        return 0;
    CAVIWriter *w = (CAVIWriter *)handlAvi;
    w->Close();
    delete w;
    return 0;
}

int LIBAVI_syncAvi(void *handlAvi)
{
    if (!handlAvi)
        return 0;
    return ((CAVIWriter *)handlAvi)->Sync() == 0 ? 0 : -1;
}

int LIBAVI_recoverFile(char *filePullPath)
{
    return AVIrcStart(filePullPath);
}

const char *LIBAVI_recoverGetErrMsg(void)
{
    return AVIrcGetErrMsg();
}

#include "avi/avi_format.h"

bool avi_chunkIdDecode(FOURCC id, DWORD *stream, uint16_t *twocc)
{
    const char c0 = (char)id, c1 = (char)(id >> 8);
    if (c0 != '0' || c1 < '0' || c1 > '9')
        return false;
    *stream = (DWORD)(c1 - '0');
    *twocc = (uint16_t)(id >> 16);
    return true;
}

void avi_fourccText(char out[5], FOURCC v, char unprintable)
{
    for (int i = 0; i < 4; i++) {
        const char c = (char)(v >> (8 * i));
        out[i] = unprintable && (c < 32 || c >= 127) ? unprintable : c;
    }
    out[4] = 0;
}

int avi_readHead(FILE *fp, AVIHEADBLOCK *head)
{
    if (fread(head, sizeof(AVIHEADBLOCK), 1, fp) != 1)
        return AVI_READ_ESHORT;
    if (head->ck_riff.ckID != AVI_FCC_RIFF || head->ck_riff.ckCodec != AVI_FCC_AVI ||
        head->ck_hdrl.ckType != AVI_FCC_HDRL || head->ck_avih.ckID != AVI_FCC_AVIH)
        return AVI_READ_EID;
    return AVI_READ_OK;
}

int avi_readMoviHeader(FILE *fp, CK_LIST *movi)
{
    if (fread(movi, sizeof(CK_LIST), 1, fp) != 1)
        return AVI_READ_ESHORT;
    if (movi->ckID != AVI_FCC_LIST || movi->ckType != AVI_FCC_MOVI)
        return AVI_READ_EID;
    return AVI_READ_OK;
}

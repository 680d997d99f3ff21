#include "wav_build.h"

#include <string.h>

#include "audio/wav_file.h"

void chunk(std::vector<uint8_t> &v, const char *id, const std::vector<uint8_t> &body)
{
    uint8_t head[WAV_CHUNK_HEAD_BYTES];
    wav_put_chunk_head(head, id, (uint32_t)body.size());
    v.insert(v.end(), head, head + sizeof(head));
    v.insert(v.end(), body.begin(), body.end());
}

std::vector<uint8_t> fmtBody()
{
    WavHeader h = wav_pcm_header(1, 22050, 16, 0, 0);
    uint8_t f[WAV_FMT_BYTES];
    wav_put_fmt(f, &h);
    return std::vector<uint8_t>(f, f + sizeof(f));
}

std::vector<uint8_t> wavWithList(const std::vector<int16_t> &samples)
{
    std::vector<uint8_t> body(4);
    memcpy(body.data(), "WAVE", 4);
    chunk(body, "fmt ", fmtBody());
    const char info[] = "INFOISFT\x0e\0\0\0Lavf59.27.100\0";
    chunk(body, "LIST", std::vector<uint8_t>(info, info + sizeof(info) - 1));
    const uint8_t *p = (const uint8_t *)samples.data();
    chunk(body, "data", std::vector<uint8_t>(p, p + samples.size() * 2));
    std::vector<uint8_t> wav;
    chunk(wav, "RIFF", body);
    return wav;
}

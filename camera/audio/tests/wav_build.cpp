#include "wav_build.h"

#include <string.h>

namespace {

void put32(std::vector<uint8_t> &v, uint32_t x)
{
    for (int i = 0; i < 4; i++)
        v.push_back((uint8_t)(x >> (8 * i)));
}

} // namespace

void chunk(std::vector<uint8_t> &v, const char *id, const std::vector<uint8_t> &body)
{
    v.insert(v.end(), id, id + 4);
    put32(v, (uint32_t)body.size());
    v.insert(v.end(), body.begin(), body.end());
}

std::vector<uint8_t> fmtBody()
{
    const uint8_t f[16] = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0};
    return std::vector<uint8_t>(f, f + 16);
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


// Real JPEG images for the snapshot channels (libjpeg-turbo).
#include "platform/sim/sim_internal.h"

#include <stdio.h>

#include <jpeglib.h>

#include <map>
#include <mutex>
#include <tuple>

namespace {

std::vector<uint8_t> encodePattern(uint32_t width, uint32_t height, int channel)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    // Eight vertical colour bars, darker towards the bottom; the sub camera's bars are reversed.
    static const uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {16, 16, 16}};
    std::vector<uint8_t> row(width * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        uint32_t y = cinfo.next_scanline;
        uint32_t shade = 255 - (y * 128) / height;
        for (uint32_t x = 0; x < width; x++) {
            uint32_t bar = (x * 8) / width;
            if (channel == VENC_CHN_SUB_JPEG)
                bar = 7 - bar;
            for (int c = 0; c < 3; c++)
                row[x * 3 + c] = (uint8_t)(bars[bar][c] * shade / 255);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return out;
}

} // namespace

namespace sim {

const std::vector<uint8_t> &jpegImage(uint32_t width, uint32_t height, int channel)
{
    static std::mutex lock;
    static std::map<std::tuple<uint32_t, uint32_t, int>, std::vector<uint8_t>> cache;
    std::lock_guard<std::mutex> lk(lock);
    auto key = std::make_tuple(width, height, channel);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, encodePattern(width, height, channel)).first;
    return it->second;
}

} // namespace sim

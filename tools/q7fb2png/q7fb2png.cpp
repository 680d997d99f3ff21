// Writes the camera's graphics plane as a PNG picture, so that a person can see what the camera
// shows over its video.
//
//   q7fb2png [-t] [PLANE] OUT.png
//
// PLANE is the frame-buffer file of the simulated board (default: /dev/fb2 below $Q7_ROOT), 720 x
// 480 pixels of 32-bit 0x00RRGGBB, little-endian. Key-colour pixels (0x00FF00FF), where the video
// shows through, are painted dark grey, or left transparent with -t.
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "graphics/draw_gui.h"
#include "platform/board_path.h"

namespace {

const uint32_t kVideoStandIn = 0x00303030;

bool writePng(const char *path, const std::vector<uint8_t> &rgba)
{
    FILE *f = fopen(path, "wb");
    if (f == nullptr) {
        perror(path);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        fprintf(stderr, "q7fb2png: cannot write %s\n", path);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, GRPX_WIDTH, GRPX_HEIGHT, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < GRPX_HEIGHT; y++)
        png_write_row(png, &rgba[(size_t)y * GRPX_WIDTH * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    bool transparent = false;
    std::vector<const char *> args;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-t") == 0)
            transparent = true;
        else
            args.push_back(argv[i]);
    }
    if (args.empty() || args.size() > 2) {
        fprintf(stderr, "usage: q7fb2png [-t] [PLANE] OUT.png\n");
        return 2;
    }
    const std::string plane = args.size() == 2 ? args[0] : board_path("/dev/fb2");
    const char *out = args.back();

    FILE *f = fopen(plane.c_str(), "rb");
    if (f == nullptr) {
        perror(plane.c_str());
        return 1;
    }
    const size_t pixels = (size_t)GRPX_WIDTH * GRPX_HEIGHT;
    std::vector<uint8_t> raw(pixels * 4);
    const size_t got = fread(raw.data(), 1, raw.size(), f);
    fclose(f);
    if (got != raw.size()) {
        fprintf(stderr, "q7fb2png: %s holds %zu bytes, a plane is %zu\n", plane.c_str(), got,
                raw.size());
        return 1;
    }

    std::vector<uint8_t> rgba(pixels * 4);
    for (size_t i = 0; i < pixels; i++) {
        uint32_t v = (uint32_t)raw[4 * i] | (uint32_t)raw[4 * i + 1] << 8 |
                     (uint32_t)raw[4 * i + 2] << 16 | (uint32_t)raw[4 * i + 3] << 24;
        uint8_t alpha = 255;
        if ((v & 0x00FFFFFF) == GRPX_KEY_COLOR) {
            v = kVideoStandIn;
            alpha = transparent ? 0 : 255;
        }
        rgba[4 * i] = (uint8_t)(v >> 16);
        rgba[4 * i + 1] = (uint8_t)(v >> 8);
        rgba[4 * i + 2] = (uint8_t)v;
        rgba[4 * i + 3] = alpha;
    }
    return writePng(out, rgba) ? 0 : 1;
}

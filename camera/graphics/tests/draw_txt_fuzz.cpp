// draw_txt with any bytes, and with what draw_utf8_to_ks makes of them: both must read only the
// text and write only inside their buffers (the text is short enough and starts high enough that
// its lines stay on the plane), and the conversion gives only ASCII and KS X 1001 syllables.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "graphics/draw_gui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    static std::vector<uint32_t> plane(GRPX_WIDTH * GRPX_HEIGHT);
    const int x = (data[0] | (data[1] & 0x7F) << 8) % GRPX_WIDTH;
    const int y = (data[2] | data[3] << 8) % (GRPX_HEIGHT - 32 + 1);
    const uint32_t bg = (data[1] & 0x80) ? GRPX_TXT_BG_KEEP : 0x00FF00FF;
    const size_t len = size - 4 > 60 ? 60 : size - 4;
    // Exactly sized, so that a read past the terminator is seen.
    char *text = new char[len + 1];
    memcpy(text, data + 4, len);
    text[len] = 0;
    draw_txt(plane.data(), text, x, y, 0x00FFFF00, bg);

    const size_t room = 1 + data[0] % 64;
    char *ks = new char[room];
    const size_t n = draw_utf8_to_ks(text, ks, room);
    if (n >= room || ks[n] != 0 || strlen(ks) != n)
        __builtin_trap();
    for (size_t i = 0; i < n; i++) {
        const unsigned char b = (unsigned char)ks[i];
        if (b < 0x80)
            continue;
        const unsigned char t = (unsigned char)ks[++i];
        if (b < 0xB0 || b > 0xC8 || t < 0xA1 || t > 0xFE)
            __builtin_trap();
    }
    draw_txt(plane.data(), ks, x, y, 0x00FFFF00, bg);
    delete[] ks;
    delete[] text;
    return 0;
}

#include "graphics/draw_gui.h"

#include <string.h>

#include "graphics/draw_font.h"

uint32_t txt_color;
uint32_t txt_bg_color = GRPX_KEY_COLOR;
uint32_t *txt_buf_addr;

namespace {

// Fills n pixels from p: single stores up to a 16-byte boundary, then blocks of 8 pixels, then the
// rest. A block has a fixed count, so even at -O2 the compiler stores it as vectors (two on the PC)
// or, without them (the board), as 8 stores with no loop.
void fillRow(uint32_t *p, int n, uint32_t color)
{
    int i = 0;
    for (; i < n && ((uintptr_t)(p + i) & 15) != 0; i++)
        p[i] = color;
    uint32_t *block = p + i;
    const int blocks = (n - i) / 8;
    for (int b = 0; b < blocks; b++, block += 8) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; k++)
            block[k] = color;
    }
    for (i += blocks * 8; i < n; i++)
        p[i] = color;
}

void fillBox(uint32_t *buf, int x, int y, int w, int h, uint32_t color)
{
    if (w <= 0 || h <= 0)
        return;
    uint32_t *row = buf + (intptr_t)y * GRPX_WIDTH + x;
    for (int r = 0; r < h; r++, row += GRPX_WIDTH)
        fillRow(row, w, color);
}

// Draws `rows` rows of a glyph kBytesPerRow bytes wide at (x, y) with the text state.
template <int kBytesPerRow> void drawGlyph(const unsigned char *glyph, int rows, int x, int y)
{
    const int kWidth = kBytesPerRow * 8;
    uint32_t *row = txt_buf_addr + (intptr_t)y * GRPX_WIDTH + x;
    // The text state in locals: it has the pixels' type, so without them every store to the
    // plane would make the compiler read it again.
    const uint32_t color = txt_color;
    const uint32_t bg = txt_bg_color;
    const bool keepBg = bg == GRPX_TXT_BG_KEEP;
    for (int r = 0; r < rows; r++, row += GRPX_WIDTH, glyph += kBytesPerRow) {
        unsigned bits = 0; // the row's pixels, leftmost in bit kWidth - 1
        for (int b = 0; b < kBytesPerRow; b++)
            bits = bits << 8 | glyph[b];
        if (keepBg) {
            // Only the strokes, lowest bit (rightmost pixel) first: one step per stored pixel.
            for (unsigned rest = bits; rest != 0; rest &= rest - 1)
                row[kWidth - 1 - __builtin_ctz(rest)] = color;
        } else {
#pragma GCC unroll 16
            for (int c = 0; c < kWidth; c++)
                row[c] = ((bits >> (kWidth - 1 - c)) & 1) ? color : bg;
        }
    }
}

// Composes the 16x16 glyph of a KS X 1001 syllable; false for a pair outside the 2 350.
bool composeHangul(unsigned lead, unsigned trail, unsigned char glyph[32])
{
    if (lead < KS_HANGUL_LEAD_FIRST || lead > KS_HANGUL_LEAD_LAST ||
        trail < KS_HANGUL_TRAIL_FIRST || trail > KS_HANGUL_TRAIL_LAST)
        return false;
    const unsigned code =
        KStbl[(lead - KS_HANGUL_LEAD_FIRST) * 94 + (trail - KS_HANGUL_TRAIL_FIRST)];
    const int i = idxtbl_1[(code >> 10) & 0x1F];
    const int m = idxtbl_2[(code >> 5) & 0x1F];
    const int f = idxtbl_3[code & 0x1F];
    if (i == 0) // every syllable has an initial; a table without one is not ours
        return false;

    const int initialSet = f == 0 ? type1tbl_no[m] : type1tbl_yes[m];
    const int medialSet = ((i == 1 || i == 16) ? 0 : 1) + (f == 0 ? 0 : 2);
    const int finalSet = type3tbl[m];

    memcpy(glyph, HanFontBuff_1[19 * initialSet + i - 1], 32);
    if (m != 0) {
        const unsigned char *g = HanFontBuff_2[21 * medialSet + m - 1];
        for (int k = 0; k < 32; k++)
            glyph[k] |= g[k];
    }
    if (f != 0) {
        const unsigned char *g = HanFontBuff_3[27 * finalSet + f - 1];
        for (int k = 0; k < 32; k++)
            glyph[k] |= g[k];
    }
    return true;
}

// The Unicode syllable of a Johab code, 0 when the code has no initial or medial.
uint32_t syllableOfJohab(unsigned code)
{
    const unsigned i = idxtbl_1[(code >> 10) & 0x1F];
    const unsigned m = idxtbl_2[(code >> 5) & 0x1F];
    const unsigned f = idxtbl_3[code & 0x1F];
    if (i == 0 || m == 0)
        return 0;
    return 0xAC00 + ((i - 1) * 21 + (m - 1)) * 28 + f;
}

// The two-byte KS X 1001 code of a Hangul syllable, 0 when it is not one of the 2 350. KS X 1001
// lists its syllables in the order of Unicode's, so KStbl can be searched by halves.
unsigned ksOfSyllable(uint32_t cp)
{
    if (cp < 0xAC00 || cp > 0xD7A3)
        return 0;
    int lo = 0;
    int hi = KS_HANGUL_COUNT - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const uint32_t u = syllableOfJohab(KStbl[mid]);
        if (u == cp)
            return (unsigned)(KS_HANGUL_LEAD_FIRST + mid / 94) << 8 |
                   (unsigned)(KS_HANGUL_TRAIL_FIRST + mid % 94);
        if (u < cp)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}

// Decodes one UTF-8 character at p; *len gets the bytes it takes (1 for a byte that does not
// begin a well-formed character, which gives -1).
int32_t decodeUtf8(const unsigned char *p, size_t *len)
{
    *len = 1;
    if (p[0] < 0x80)
        return p[0];
    size_t n;
    uint32_t cp;
    uint32_t min;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        n = 2;
        cp = p[0] & 0x1F;
        min = 0x80;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        n = 3;
        cp = p[0] & 0x0F;
        min = 0x800;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        n = 4;
        cp = p[0] & 0x07;
        min = 0x10000;
    } else {
        return -1;
    }
    for (size_t k = 1; k < n; k++) {
        if ((p[k] & 0xC0) != 0x80) // also stops at the terminator
            return -1;
        cp = cp << 6 | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    *len = n;
    return (int32_t)cp;
}

} // namespace

size_t draw_utf8_to_ks(const char *utf8, char *out, size_t size)
{
    if (size == 0)
        return 0;
    size_t len = 0;
    const unsigned char *p = (const unsigned char *)utf8;
    while (*p != 0) {
        size_t took;
        const int32_t cp = decodeUtf8(p, &took);
        const unsigned ks = cp > 0 ? ksOfSyllable((uint32_t)cp) : 0;
        const size_t need = ks != 0 ? 2 : 1;
        if (len + need > size - 1)
            break;
        if (ks != 0) {
            out[len++] = (char)(ks >> 8);
            out[len++] = (char)(ks & 0xFF);
        } else {
            out[len++] = cp >= 0 && cp < 0x80 ? (char)cp : '?';
        }
        p += took;
    }
    out[len] = '\0';
    return len;
}

int draw_fill_color(uint32_t *buf, uint32_t color)
{
    if (buf == nullptr)
        return -1;
    fillRow(buf, GRPX_WIDTH * GRPX_HEIGHT, color);
    return 0;
}

int draw_fill_rect(uint32_t *buf, DrawRect rect, uint32_t color)
{
    if (buf == nullptr)
        return -1;
    fillBox(buf, rect.x, rect.y, rect.w, rect.h, color);
    return 0;
}

int draw_line(uint32_t *buf, DrawRect rect, int vertical, uint32_t color)
{
    if (buf == nullptr)
        return -1;
    if (vertical == 0)
        fillBox(buf, rect.x, rect.y, rect.h, rect.w, color);
    else
        fillBox(buf, rect.x, rect.y, rect.w, rect.h, color);
    return 0;
}

int draw_rect_line(uint32_t *buf, DrawRect rect, int thickness, uint32_t color)
{
    if (buf == nullptr)
        return -1;
    if (rect.w <= 0 || rect.h <= 0 || thickness <= 0)
        return 0;
    const int t = thickness;
    fillBox(buf, rect.x, rect.y, rect.w, t, color);
    fillBox(buf, rect.x, rect.y + rect.h - t, rect.w, t, color);
    fillBox(buf, rect.x, rect.y, t, rect.h, color);
    fillBox(buf, rect.x + rect.w - t, rect.y, t, rect.h, color);
    return 0;
}

int draw_img(uint32_t *buf, const uint32_t *img, DrawRect rect)
{
    if (buf == nullptr || img == nullptr)
        return -1;
    if (rect.w <= 0 || rect.h <= 0)
        return 0;
    uint32_t *row = buf + (intptr_t)rect.y * GRPX_WIDTH + rect.x;
    for (int r = 0; r < rect.h; r++, row += GRPX_WIDTH, img += rect.w)
        for (int c = 0; c < rect.w; c++)
            if (img[c] != GRPX_KEY_COLOR)
                row[c] = img[c];
    return 0;
}

void draw_txt(uint32_t *buf, const char *text, int x, int y, uint32_t color, uint32_t bg)
{
    if (buf == nullptr || text == nullptr)
        return;
    txt_color = color;
    txt_bg_color = bg;
    txt_buf_addr = buf;

    const unsigned char *p = (const unsigned char *)text;
    while (*p != 0) {
        if (*p < 0x80) {
            if (GRPX_WIDTH - x < 8) {
                x = 0;
                y += 16;
            }
            drawGlyph<1>(&EngFontBuff[*p * 16], 16, x, y);
            x += 8;
            p++;
            continue;
        }
        // A lead byte at the end of the text has no pair: stop at the terminator.
        if (p[1] == 0)
            break;
        unsigned char glyph[32];
        if (composeHangul(p[0], p[1], glyph)) {
            if (GRPX_WIDTH - x < 16) {
                x = 0;
                y += 16;
            }
            drawGlyph<2>(glyph, 16, x, y);
            x += 16;
        }
        p += 2;
    }
}

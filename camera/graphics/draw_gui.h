// Drawing primitives of the graphics plane: 32-bit pixels 0x00RRGGBB, 720 per row, 480 rows.
// Nothing is clipped: callers keep every pixel inside the plane.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
    GRPX_WIDTH = 720,
    GRPX_HEIGHT = 480,
};

// The transparent key: the plane is cleared to it and draw_img does not copy it.
#define GRPX_KEY_COLOR 0x00FF00FFu
// The colour of the texts the program writes on the plane (yellow).
#define GRPX_TEXT_COLOR 0x00FFFF00u
// As a text background: leave the pixels between the strokes as they are.
#define GRPX_TXT_BG_KEEP 0x00FF00FEu

struct DrawRect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

// Text state of the last draw_txt call.
extern uint32_t txt_color;
extern uint32_t txt_bg_color;
extern uint32_t *txt_buf_addr;

int draw_fill_color(uint32_t *buf, uint32_t color);
int draw_fill_rect(uint32_t *buf, DrawRect rect, uint32_t color);
// rect.w is the thickness and rect.h the length: vertical 0 draws a bar h wide and w tall,
// otherwise a bar w wide and h tall.
int draw_line(uint32_t *buf, DrawRect rect, int vertical, uint32_t color);
// An outline inside rect, every edge `thickness` pixels.
int draw_rect_line(uint32_t *buf, DrawRect rect, int thickness, uint32_t color);
// Copies a rect.w x rect.h image (rows in order) to (rect.x, rect.y), skipping key pixels.
int draw_img(uint32_t *buf, const uint32_t *img, DrawRect rect);
// Draws zero-terminated text: bytes below 0x80 in the 8x16 font, KS X 1001 Hangul pairs in the
// 16x16 font; a line that runs out wraps to x 0, 16 rows down.
void draw_txt(uint32_t *buf, const char *text, int x, int y, uint32_t color, uint32_t bg);

// Converts UTF-8 text into what draw_txt draws: ASCII as it is, the 2 350 KS X 1001 Hangul
// syllables as their two-byte codes, and every other character (or byte that is not UTF-8) as
// '?'. Writes at most size - 1 bytes and the terminator, ending before a character that does not
// fit. Returns the length written.
size_t draw_utf8_to_ks(const char *utf8, char *out, size_t size);

// Font tables of the graphics plane: the 8x16 single-byte font, the KS X 1001 -> Johab table,
// the Johab jamo index tables and the glyph set tables of the composed 16x16 Hangul font.
#pragma once

enum {
    KS_HANGUL_LEAD_FIRST = 0xB0,
    KS_HANGUL_LEAD_LAST = 0xC8,
    KS_HANGUL_TRAIL_FIRST = 0xA1,
    KS_HANGUL_TRAIL_LAST = 0xFE,
    KS_HANGUL_COUNT = 2350,
};

// 256 glyphs, 16 bytes each: one byte per row, top row first, MSB leftmost.
extern const unsigned char EngFontBuff[4096];
// Johab code of each syllable at (lead - 0xB0) * 94 + (trail - 0xA1).
extern const unsigned int KStbl[KS_HANGUL_COUNT];

// Johab jamo code (5 bits) -> initial 1-19, medial 1-21, final 0-27.
extern const unsigned char idxtbl_1[32];
extern const unsigned char idxtbl_2[32];
extern const unsigned char idxtbl_3[32];
// Medial number -> initial set without / with a final, and -> final set.
extern const unsigned char type1tbl_no[22];
extern const unsigned char type1tbl_yes[22];
extern const unsigned char type3tbl[22];

// 16x16 glyphs, 32 bytes each: two bytes per row (left 8 pixels first), MSB leftmost.
extern const unsigned char HanFontBuff_1[8 * 19][32]; // initials, (set, i) at 19 * set + i - 1
extern const unsigned char HanFontBuff_2[4 * 21][32]; // medials, (set, m) at 21 * set + m - 1
extern const unsigned char HanFontBuff_3[4 * 27][32]; // finals, (set, f) at 27 * set + f - 1

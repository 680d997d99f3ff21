// The jamo index and glyph set tables; the bitmaps and KStbl are in draw_font_data.cpp, made by
// gen/q7_fontgen.
#include "graphics/draw_font.h"

const unsigned char idxtbl_1[32] = {0,  0,  1,  2,  3,  4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,
                                    15, 16, 17, 18, 19, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0};
const unsigned char idxtbl_2[32] = {0, 0, 0,  1,  2,  3,  4,  5,  0, 0, 6,  7,  8,  9,  10, 11,
                                    0, 0, 12, 13, 14, 15, 16, 17, 0, 0, 18, 19, 20, 21, 0,  0};
const unsigned char idxtbl_3[32] = {0,  0,  1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                    15, 16, 0, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 0,  0};

const unsigned char type1tbl_no[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 3,
                                       3, 3, 1, 2, 4, 4, 4, 2, 1, 3, 0};
const unsigned char type1tbl_yes[22] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 6, 7,
                                        7, 7, 6, 6, 7, 7, 7, 6, 6, 7, 5};
const unsigned char type3tbl[22] = {0, 0, 2, 0, 2, 1, 2, 1, 2, 3, 0,
                                    2, 1, 3, 3, 1, 2, 1, 3, 3, 1, 1};

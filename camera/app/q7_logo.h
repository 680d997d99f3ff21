// The maker's logo shown by the graphic test: 32-bit pixels, 0x00FF00FF where the video shows.
#pragma once

enum { Q7_LOGO_W = 148, Q7_LOGO_H = 26 };

extern const unsigned int q7_logo_img[Q7_LOGO_W * Q7_LOGO_H];

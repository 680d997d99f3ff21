// On-screen text of the recorder, and the graphics, pre-record, on-screen display and mosaic
// test menus of a running camera process.
#pragma once

int ui_draw_txt(const char *text);
int q7_graphic_test(void);
int q7_prerec_test(int camMode, int frameRate);
int q7_swosd_test(void);
int q7_swMs_test(int camMode);
int swMs_set_layout(int layout);

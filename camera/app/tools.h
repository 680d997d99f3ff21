// On-screen text of the recorder, and the graphics, pre-record, on-screen display and mosaic
// test menus of a running camera process.
#pragma once

// Shows the recorder's text (the current file name, UTF-8) on the plane and keeps it; -1 when the
// plane is not open, in which case ui_redraw_txt shows it once it is.
int ui_draw_txt(const char *text);
// Draws the kept text on a plane just opened; nothing when there is none.
void ui_redraw_txt(void);
// Forgets the kept text (a new camera process names its own files).
void ui_forget_txt(void);
int q7_graphic_test(void);
int q7_prerec_test(int camMode, int frameRate);
int q7_swosd_test(void);
int q7_swMs_test(int camMode);
int swMs_set_layout(int layout);

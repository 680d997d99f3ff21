// The graphics, pre-record, on-screen display and mosaic
// test menus of a running camera process.
#pragma once

int q7_graphic_test(void);
int q7_prerec_test(int camMode, int frameRate);
int q7_swosd_test(void);
int q7_swMs_test(int camMode);
int swMs_set_layout(int layout);

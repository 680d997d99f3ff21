// The graphics plane over the video.
#pragma once

int grpx_fb_init(void);
void grpx_fb_exit(void);

// The graphics plane over the video: the frame buffer "/dev/fb2" of the display driver, mapped
// into memory. On the simulated board the node is a regular file, mapped as the 720 x 480 plane.
#pragma once

#include <stdint.h>

#include "platform/osa.h"

struct GRPX_OBJ {
    int fd;           // the open device, 0 when none
    uint32_t *fbAddr; // the mapped pixels
    uint32_t fbSize;  // the mapped size in bytes
};

extern GRPX_OBJ grpx_obj;
// 1 while the plane can be drawn on.
extern int grpx_init;

// The recorder thread writes the current file name on the plane while the menu thread may open
// or close it: whoever uses the mapping holds this lock (grpx_fb_init and grpx_fb_exit take it).
extern OSA_MutexHndl grpx_lock;

// Opens, sets up and maps the plane and clears it to the key colour. 0, or -1 with the device
// closed.
int grpx_fb_init(void);
void grpx_fb_exit(void);

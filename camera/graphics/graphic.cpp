#include "graphics/graphic.h"

#include <stdio.h>

// Placeholders until the graphics plane is built.
int grpx_fb_init(void)
{
    puts(" [app] err: grpx_fb_init is not available");
    return -1;
}

void grpx_fb_exit(void)
{
    puts(" [app] err: grpx_fb_exit is not available");
}

#include "app/tools.h"

#include <stdio.h>

// Placeholders until the run-time test menus are built.
int ui_draw_txt(const char *)
{
    puts(" [app] err: ui_draw_txt is not available");
    return -1;
}

int q7_graphic_test(void)
{
    puts(" [app] err: q7_graphic_test is not available");
    return -1;
}

int q7_prerec_test(int, int)
{
    puts(" [app] err: q7_prerec_test is not available");
    return -1;
}

int q7_swosd_test(void)
{
    puts(" [app] err: q7_swosd_test is not available");
    return -1;
}

int q7_swMs_test(int)
{
    puts(" [app] err: q7_swMs_test is not available");
    return -1;
}

int swMs_set_layout(int)
{
    puts(" [app] err: swMs_set_layout is not available");
    return -1;
}

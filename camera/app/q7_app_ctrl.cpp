#include "app/q7_app_ctrl.h"

#include <stdio.h>

// Placeholders until the capture and encoder menus are built.
int q7_capture_settings(int)
{
    puts(" [app] err: q7_capture_settings is not available");
    return -1;
}

int q7_encoder_settings(int)
{
    puts(" [app] err: q7_encoder_settings is not available");
    return -1;
}

int encoder_set_param(int, int)
{
    puts(" [app] err: encoder_set_param is not available");
    return -1;
}

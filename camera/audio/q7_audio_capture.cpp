#include "audio/q7_audio_capture.h"

#include <stdio.h>

// Placeholders until the audio capture is built.
int Audio_capture_start(void)
{
    puts(" [app] err: Audio_capture_start is not available");
    return 0;
}

int Audio_capture_stop(void)
{
    puts(" [app] err: Audio_capture_stop is not available");
    return -1;
}

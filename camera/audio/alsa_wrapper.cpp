#include "audio/alsa_wrapper.h"

#include <stdio.h>

// Placeholders until the ALSA wrapper is built.
int alsa_set_volume(int, int)
{
    puts(" [app] err: alsa_set_volume is not available");
    return -1;
}

int alsa_get_volume(int, int *)
{
    puts(" [app] err: alsa_get_volume is not available");
    return -1;
}

int alsa_set_playback_mute(int)
{
    puts(" [app] err: alsa_set_playback_mute is not available");
    return -1;
}

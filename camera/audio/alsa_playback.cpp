#include "audio/alsa_playback.h"

#include <stdio.h>

// Placeholder until the audio test player is built.
int sound_playback_thrCreate(ThreadCtrl *)
{
    puts(" [app] err: sound_playback_thrCreate is not available");
    return -1;
}

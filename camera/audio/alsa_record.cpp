#include "audio/alsa_record.h"

#include <stdio.h>

// Placeholder until the audio test recorder is built.
int snd_record_thrCreate(ThreadCtrl *)
{
    puts(" [app] err: snd_record_thrCreate is not available");
    return -1;
}

// ALSA devices and the board's mixer.
#pragma once

// Element selector: 1 the microphone boost, anything else the speaker.
int alsa_set_volume(int element, int percent);
int alsa_get_volume(int element, int *percent);
int alsa_set_playback_mute(int mute);

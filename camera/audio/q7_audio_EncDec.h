// G.711 mu-law codec between 16-bit linear samples and 8-bit codes.
#pragma once

#include <stdint.h>

// Encodes size / 2 samples of src into as many bytes of dst; returns the sample count (0 when
// there is no whole sample). The codec selector is not used.
int AUDIO_audioEncode(int codec, uint8_t *dst, const int16_t *src, int size);
// Decodes count bytes of src into as many samples of dst; returns 1.
int AUDIO_audioDecode(int codec, const uint8_t *src, int16_t *dst, int count);

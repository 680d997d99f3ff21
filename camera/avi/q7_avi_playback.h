// Playback of a recorded AVI file through the decoder.
#pragma once

int pb_main(void);

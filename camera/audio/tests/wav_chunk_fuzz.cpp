// Fuzz target: the WAV walk (the test player's) over the RIFF chunks of an arbitrary file.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "audio/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *fp = fmemopen((void *)data, size, "rb");
    if (fp == nullptr)
        return 0;
    uint32_t dataSize = 0;
    if (wav_find_data(fp, &dataSize) == 0) {
        // The data starts inside the file and its size is not negative.
        off_t pos = ftello(fp);
        if (pos < 20 || (size_t)pos > size || (int32_t)dataSize < 0)
            __builtin_trap();
    }
    fclose(fp);
    return 0;
}

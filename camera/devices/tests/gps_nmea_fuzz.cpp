// Arbitrary line bytes through the GPS sentence assembler.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "devices/gps.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // What the assembler prints is not of interest here.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    GPS_PACKET pkt;
    gps_packet_reset(&pkt);
    for (size_t i = 0; i < size; i++) {
        int r = gps_packet_put(&pkt, data[i]);
        if (r < GPS_PUT_OVERFLOW || r > GPS_PUT_ABANDONED)
            abort();
        if (pkt.len < 0 || pkt.len > GPS_MAX_PACKET_LEN ||
            (pkt.inSentence != 0 && pkt.inSentence != 1))
            abort();
        // Ending a sentence always leaves the assembler outside with nothing stored.
        if (r != GPS_PUT_NONE && (pkt.inSentence || pkt.len != 0 || pkt.text[0] != '\0'))
            abort();
        if (memchr(pkt.text, '\0', pkt.len) != nullptr)
            abort();
    }
    // The stored text is checked as a whole sentence would be.
    pkt.text[pkt.len] = '\0';
    gps_check_CRC(pkt.text);
    return 0;
}

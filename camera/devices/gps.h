// GPS receiver test thread: powers the module, reads NMEA sentences from its serial line and
// prints the ones whose checksum is right.
#pragma once

#include "platform/thread_ctrl.h"

#define GPS_MAX_PACKET_LEN 512

// Sentence being assembled; the leading '$' is not stored.
struct GPS_PACKET {
    char text[GPS_MAX_PACKET_LEN + 1];
    int len;
    int inSentence;
};

// What one byte did to the sentence being assembled.
enum {
    GPS_PUT_OVERFLOW = -2,  // more than GPS_MAX_PACKET_LEN characters: dropped
    GPS_PUT_CRC_ERROR = -1, // ended by a carriage return, checksum wrong: dropped
    GPS_PUT_NONE = 0,       // stored or ignored
    GPS_PUT_VALID = 1,      // ended by a carriage return, checksum right: printed
    GPS_PUT_ABANDONED = 2,  // ended by a line feed, not checked
};

void gps_packet_reset(GPS_PACKET *pkt);
// Feeds one byte of the line to the assembler, printing what the receiver test prints.
int gps_packet_put(GPS_PACKET *pkt, unsigned char byte);

// NMEA 0183 checksum of a sentence without its '$': 1 when right, -1 otherwise (reported).
int gps_check_CRC(const char *text);

// Opens the serial line and the I/O driver, powers the module and sets the line up.
// 1 on success, -1 on failure; gps_exit closes what had been opened either way.
int gps_init(void);
// The next byte of the line, 0 when the read returned nothing, -1 when the line failed or ended.
int gps_rx_byte(void);
// Restores the line, closes it, powers the module off and closes the I/O driver; whatever of
// this gps_init did not get to is left out.
void gps_exit(void);

// The thread body. Returns 0.
int gps_main(ThreadCtrl *ctrl);
int gps_thr_create(ThreadCtrl *ctrl);

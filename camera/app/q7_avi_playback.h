// Playback of a recorded AVI file through the decoder (the decoder loopback test): a thread
// reads the movi data front to back and feeds the video chunks of the main and sub streams to
// the decoder's bitstream buffers at a fixed pace.
#pragma once

#include "avi/aviencoder.h"
#include "platform/osa.h"

#include <atomic>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

// Every chunk of a file this system writes fits here.
#define PB_STAGING_SIZE AVI_MAX_CHUNK_SIZE

struct PB_OBJ {
    std::atomic<uint32_t> running; // from a successful start until the thread has finished
    uint32_t waitMsec;             // pause after each decoder submission
    AVIFILE *aviFile;              // file stream, Head and the movi list header in Tail
    std::atomic<uint16_t> stopReq; // ends the loop; set by the menu or by the thread
    OSA_ThrHndl thrHndl;
    OSA_SemHndl doneSem;
};

extern PB_OBJ pbObj;

// The playback menu; returns when the user chooses 0 (or standard input ends).
int pb_main(void);
// The playback thread's body; `arg` is the PB_OBJ.
void *playbackFxn(void *arg);
// Up to 7 characters of standard input after flushing it; the first one in the lowest byte.
int pbmenu_get_cmd(void);

// The chunk walk of the playback thread, from the first chunk of the movi list to its end
// (or the end of the file).
struct PB_READER {
    FILE *fp;
    off_t pos; // offset of the next chunk header
    off_t end; // end of the movi data
};
// Positions the reader at the first chunk after the movi list header that `f` holds, with
// nHeadWritten at the movi list.
void pb_readerInit(PB_READER *r, FILE *fp, off_t moviOffset, DWORD moviSize);
// Finds the next video chunk ("dc" of stream 0 or 1) that fits in `cap` bytes and reads its
// data into `buf`; passes over every other chunk by its size. Returns 1 with *stream and *size
// set, or 0 at the end of the movi data, of the file, or at a chunk that runs past either.
int pb_readVideoChunk(PB_READER *r, uint8_t *buf, uint32_t cap, uint32_t *stream, uint32_t *size);

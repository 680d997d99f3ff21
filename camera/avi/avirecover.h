// Repair of AVI files cut short by a power loss: the chunks that reached the card are walked, the
// index is rebuilt, and the headers, the movi size, idx1 and the RIFF size are written in place
// exactly as a normal close would have written them. Damaged data between chunks is passed over
// and covered with a JUNK chunk; the file ends after its index.
#pragma once

#include "avi/aviencoder.h"

// 0 when the file was repaired or needed no repair, -1 on failure.
int AVIrcStart(const char *path);
// Text of the last failure that was described in words.
const char *AVIrcGetErrMsg(void);

// What a read-only look at a file finds (for the card tools).
struct AVIRC_INFO {
    DWORD streams;
    AVIMAINHEADER avih;
    AVISTREAMHEADER strh[AVI_MAX_STREAMS]; // as stored in the file
    DWORD chunks[AVI_MAX_STREAMS];         // chunks found in the movi data
    DWORD keyFrames[AVI_MAX_STREAMS];
    int needsRepair;    // RIFF or movi size is 0
    DWORD damagedSpans; // spans of damaged data between chunks, passed over
    DWORD damagedBytes; // bytes in them
};
// Reads the headers and walks the chunks without writing; 0, or -1 with AVIrcGetErrMsg() set.
int AVIrcInspect(const char *path, AVIRC_INFO *info);

// Helpers of the AVI library's tests: byte fields, child processes, real H.264 access units made
// with ffmpeg, and recordings written through the handle interface.
#pragma once

#include "avi/udavi.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace avitest {

uint32_t u32(const Bytes &b, size_t off);
void putU32(Bytes &b, size_t off, uint32_t v);
std::string fourcc(const Bytes &b, size_t off);

// A word of a shell command as the platform's shell reads it literally: in single quotes for sh,
// in double quotes for cmd (a Windows name holds no double quote).
std::string shellWord(const std::string &word);
// Runs a shell command (sh, or cmd on Windows); returns its standard output and error together
// (without `withStderr`, its standard output alone), and the exit status.
std::string run(const std::string &cmd, int *status = nullptr, bool withStderr = true);

struct AccessUnit {
    Bytes data;
    bool key;
};
// A clip of `frames` frames from ffmpeg's testsrc2, split into access units shaped like the
// camera encoder's output (nal_ref_idc 1: key frames begin 00 00 00 01 27). Empty on failure.
std::vector<AccessUnit> makeClip(const std::string &dir, int width, int height, int frames,
                                 const char *bitrate = nullptr);
// Splits an Annex-B stream into access units, rewriting the SPS, PPS and IDR header bytes.
std::vector<AccessUnit> splitAccessUnits(const Bytes &annexB);

// The recorder's parameters: main 1920x1080 H.264, mu-law 16 kHz audio, text stream.
AVI_SYSTEM_PARAM recorderParams(bool audio, bool sub, int subWidth = 1280, int subHeight = 720);

struct Chunk {
    int dataType; // enumDVR_DATA_TYPE
    Bytes data;
    bool key;
};
// The order in which the recorder interleaves its streams: every frame period one main and
// (with `sub`) one sub frame, and a 2000-byte audio block every 125 ms.
std::vector<Chunk> interleave(const std::vector<AccessUnit> &main,
                              const std::vector<AccessUnit> *sub, bool audio);
// Writes the chunks through LIBAVI_createAvi / LIBAVI_write_frame / LIBAVI_closeAvi. With
// `headerAtOpen`, also returns the file as it stood on disk right after the open (the header a
// power cut leaves behind).
bool writeRecording(const std::string &path, const AVI_SYSTEM_PARAM &prm,
                    const std::vector<Chunk> &chunks, Bytes *headerAtOpen = nullptr);

// Byte offset of the movi list in a file of this system (88 + the strl lists).
size_t moviOffset(const Bytes &file);
// File offsets of the chunk headers in the movi data of a file of this system, in order.
std::vector<size_t> chunkOffsets(const Bytes &file);
// What a power cut leaves: the header as it was at open followed by the closed file's bytes up
// to `length`.
Bytes powerCut(const Bytes &closed, const Bytes &headerAtOpen, size_t length);

// One entry of a file's idx1.
struct IndexEntry {
    std::string id;
    uint32_t flags, offset, length;
};
// The idx1 entries of a complete file of this system; empty when there is no idx1.
std::vector<IndexEntry> readIndex(const Bytes &file);
// What is wrong with a complete file of this system, or "" when nothing is: the RIFF size is the
// length - 8, the movi list ends where idx1 begins, idx1 ends the file, and every index entry
// names the chunk header at its offset (identifier and size) inside the movi list.
std::string completeFileFault(const Bytes &file);

} // namespace avitest

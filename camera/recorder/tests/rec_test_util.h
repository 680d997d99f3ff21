// Helpers of the recording pipeline's tests: a board root with the card's folders, frames that
// carry their own number, and the chunks of the AVI files the pipeline writes.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "avi_test_util.h"
#include "avi/udavi.h"
#include "testsupport/temp_dir.h"

namespace rectest {

// The tests' board root (Q7_ROOT while it lives), with the card's recording folders by name.
class Board : public BoardRoot
{
public:
    std::string cont() const;  // the continuous folder
    std::string event() const; // the event folder
    std::string photo() const; // the photo folder
};

// Frame bytes that say which frame they are: the number, the size, then a pattern of both.
Bytes frameBytes(uint32_t seq, uint32_t size);
// The number a frame's bytes carry, or -1 when the bytes are not intact.
int64_t frameSeq(const uint8_t *data, size_t size);

struct Chunk {
    std::string fourcc; // "00dc", "01dc", "02wb", "03tx"
    Bytes data;
};
// The chunks of the movi list of an AVI file of this system, in file order.
std::vector<Chunk> readChunks(const std::string &path);

// Files of a folder (names only), sorted.
std::vector<std::string> listDir(const std::string &dir);

// ffprobe's streams of a file as "index,codec_name,codec_type" lines, or "" when it refuses it or
// complains. Without `hearComplaints`, what it says about the frames it decodes while probing is
// not heard (a frame cut short by a power cut, whose missing tail reads as zeros).
std::string probeStreams(const std::string &path, bool hearComplaints = true);
// ffprobe's packets as (stream index, key) in file order.
std::vector<std::pair<int, bool>> probePackets(const std::string &path);
// FFmpeg's complaints while decoding the video and audio streams ("" when they decode cleanly).
std::string decodeErrors(const std::string &path);

// A real H.264 clip in Annex-B form made with ffmpeg (one key frame every `gop` frames).
std::string makeH264Clip(const std::string &dir, const std::string &name, int width, int height,
                         int seconds, int gop);

// ffprobe's streams of every recording of the camera: main and sub video, mu-law audio, and the
// text stream (chunks 00dc, 01dc, 02wb; 03tx stays empty).
extern const char *const kRecorderStreams;

// Every check a recording of the camera must pass: ffprobe's four streams, chunks of the three
// filled streams, a main key frame first, and a clean decode (gtest expectations).
void expectGoodRecording(const std::string &path);
// Main video frames of a recording, as ffprobe counts its packets.
size_t mainFrames(const std::string &path);

// What a power cut left of one file: its complete chunks by stream tag, and the chunk it cut
// short, if the repair is to keep it (its header and, for video, its first 5 bytes made it).
struct CutFile {
    std::map<std::string, Bytes> data; // the complete chunks' bytes, concatenated
    std::map<std::string, size_t> count;
    std::string tornTag;
    uint32_t tornSize = 0;
};
CutFile readCutFile(const std::string &path);
// Checks a repaired copy of a file that a power cut left as `cut`: every complete chunk comes
// back byte for byte at its place in its stream, the chunk cut short is kept at its stated size,
// and the complete frames decode cleanly (gtest expectations).
void expectRepairedWithoutLoss(const CutFile &cut, const std::string &repaired);

// Moves the pipeline's clock (q7_set_clock_offset) so that the local time is now at second `sec`
// of a minute, `minutes` minutes after the current one; returns the offset it set.
int64_t setClockSecond(int sec, int minutes = 0);

} // namespace rectest

// Helpers of the recording pipeline's tests: a board root with the card's folders, frames that
// carry their own number, and the chunks of the AVI files the pipeline writes.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "avi/tests/avi_test_util.h"
#include "avi/udavi.h"

namespace rectest
{

using avitest::Bytes;

// A board root below a temporary folder with the card's three recording folders; Q7_ROOT points
// at it while the object lives.
class Board
{
  public:
    Board();
    ~Board();
    const std::string &root() const { return m_dir.path(); }
    std::string cont() const;  // the continuous folder
    std::string event() const; // the event folder
    std::string photo() const; // the photo folder

  private:
    avitest::TempDir m_dir;
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

// Moves the pipeline's clock (q7_set_clock_offset) so that the local time is now at second `sec`
// of a minute, `minutes` minutes after the current one.
void setClockSecond(int sec, int minutes = 0);

} // namespace rectest

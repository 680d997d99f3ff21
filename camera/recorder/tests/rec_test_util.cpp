#include "rec_test_util.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "recorder/q7_util.h"

namespace rectest {

std::string Board::cont() const
{
    return root() + Q7_CONT_DIR;
}

std::string Board::event() const
{
    return root() + Q7_EVENT_DIR;
}

std::string Board::photo() const
{
    return root() + Q7_PHOTO_DIR;
}

Bytes frameBytes(uint32_t seq, uint32_t size)
{
    Bytes b(size < 8 ? 8 : size);
    avitest::putU32(b, 0, seq);
    avitest::putU32(b, 4, (uint32_t)b.size());
    for (size_t i = 8; i < b.size(); i++)
        b[i] = (uint8_t)(seq * 31u + i);
    return b;
}

int64_t frameSeq(const uint8_t *data, size_t size)
{
    if (size < 8)
        return -1;
    uint32_t seq = data[0] | data[1] << 8 | data[2] << 16 | (uint32_t)data[3] << 24;
    uint32_t n = data[4] | data[5] << 8 | data[6] << 16 | (uint32_t)data[7] << 24;
    if (n != size)
        return -1;
    for (size_t i = 8; i < size; i++)
        if (data[i] != (uint8_t)(seq * 31u + i))
            return -1;
    return seq;
}

std::vector<Chunk> readChunks(const std::string &path)
{
    std::vector<Chunk> out;
    Bytes file = readFile(path);
    if (file.size() < 32)
        return out;
    for (size_t pos : avitest::chunkOffsets(file)) {
        uint32_t size = avitest::u32(file, pos + 4);
        if (pos + 8 + size > file.size())
            break;
        Chunk c;
        c.fourcc = avitest::fourcc(file, pos);
        c.data.assign(file.begin() + (long)pos + 8, file.begin() + (long)(pos + 8 + size));
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr)
        return out;
    while (struct dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            out.push_back(e->d_name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::string probeStreams(const std::string &path, bool hearComplaints)
{
    int status = 0;
    std::string out =
        avitest::run("ffprobe -v error -show_entries stream=index,codec_type,codec_name "
                     "-of csv=p=0 '" +
                         path + "'",
                     &status, hearComplaints);
    if (status != 0)
        return "";
    std::string joined;
    std::stringstream ss(out);
    std::string line;
    while (std::getline(ss, line)) {
        if (line.find(',') == std::string::npos)
            return ""; // a complaint, not a stream
        joined += line + "\n";
    }
    return joined;
}

std::vector<std::pair<int, bool>> probePackets(const std::string &path)
{
    std::vector<std::pair<int, bool>> out;
    // Standard output alone: what FFmpeg says while decoding for its probe (a line such as
    // "concealing 1 DC, 1 AC, 1 MV errors") would read as a packet.
    std::string text = avitest::run("ffprobe -v error -show_entries packet=stream_index,flags "
                                    "-of csv=p=0 '" +
                                        path + "'",
                                    nullptr, false);
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
        size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        out.emplace_back(atoi(line.c_str()), line.find('K', comma) != std::string::npos);
    }
    return out;
}

std::string decodeErrors(const std::string &path)
{
    int status = 0;
    std::string out = avitest::run(
        "ffmpeg -nostdin -v error -i '" + path + "' -map 0:v -map 0:a? -f null - 2>&1", &status);
    if (status != 0 && out.empty())
        out = "ffmpeg failed";
    return out;
}

std::string makeH264Clip(const std::string &dir, const std::string &name, int width, int height,
                         int seconds, int gop)
{
    std::string path = dir + "/" + name;
    std::ostringstream cmd;
    cmd << "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" << width << "x" << height
        << ":rate=30 -t " << seconds << " -c:v libx264 -preset ultrafast -g " << gop
        << " -bf 0 -x264-params repeat-headers=1 -f h264 '" << path << "'";
    int status = 0;
    avitest::run(cmd.str(), &status);
    return status == 0 ? path : "";
}

const char *const kRecorderStreams =
    "0,h264,video\n1,h264,video\n2,pcm_mulaw,audio\n3,unknown,subtitle\n";

void expectGoodRecording(const std::string &path)
{
    SCOPED_TRACE(path);
    EXPECT_EQ(probeStreams(path), kRecorderStreams);
    // Stream n's chunks are "0ndc" (video), "02wb" (audio) and "03tx" (text).
    std::set<std::string> tags;
    for (const Chunk &c : readChunks(path))
        tags.insert(c.fourcc);
    tags.insert("03tx"); // the text stream is declared but stays empty
    EXPECT_EQ(tags, (std::set<std::string>{"00dc", "01dc", "02wb", "03tx"}));
    std::vector<std::pair<int, bool>> packets = probePackets(path);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.front(), (std::pair<int, bool>{0, true}));
    EXPECT_EQ(decodeErrors(path), "");
}

size_t mainFrames(const std::string &path)
{
    size_t n = 0;
    for (auto &p : probePackets(path))
        n += p.first == 0;
    return n;
}

CutFile readCutFile(const std::string &path)
{
    CutFile f;
    std::vector<Chunk> complete = readChunks(path);
    for (const Chunk &c : complete) {
        f.data[c.fourcc].insert(f.data[c.fourcc].end(), c.data.begin(), c.data.end());
        f.count[c.fourcc]++;
    }
    // The chunk after the complete ones, if its header made it, is the one the cut left short.
    Bytes file = readFile(path);
    std::vector<size_t> offsets = avitest::chunkOffsets(file);
    if (offsets.size() > complete.size()) {
        size_t pos = offsets[complete.size()];
        std::string tag = avitest::fourcc(file, pos);
        if (tag == "02wb" || pos + 8 + 5 <= file.size()) {
            f.tornTag = tag;
            f.tornSize = avitest::u32(file, pos + 4);
        }
    }
    return f;
}

// One stream's packets as FFmpeg's demuxer hands them out, concatenated. Quiet: while probing
// the streams FFmpeg may decode a frame cut short, whose missing tail reads as zeros.
static Bytes demuxed(const std::string &path, int stream, const char *format,
                     const std::string &out)
{
    avitest::run("ffmpeg -nostdin -v quiet -y -i '" + path + "' -map 0:" + std::to_string(stream) +
                 " -c copy -f " + format + " '" + out + "'");
    Bytes b = readFile(out);
    unlink(out.c_str());
    return b;
}

void expectRepairedWithoutLoss(const CutFile &cut, const std::string &copy)
{
    const bool tornVideo = !cut.tornTag.empty() && cut.tornTag != "02wb";
    // With no video frame cut short there is nothing to complain about at all.
    EXPECT_EQ(probeStreams(copy, !tornVideo), kRecorderStreams);
    std::vector<std::pair<int, bool>> packets = probePackets(copy);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.front(), (std::pair<int, bool>{0, true}));

    const char *tags[3] = {"00dc", "01dc", "02wb"};
    const char *formats[3] = {"h264", "h264", "mulaw"};
    for (int s = 0; s < 3; s++) {
        SCOPED_TRACE(tags[s]);
        const bool torn = cut.tornTag == tags[s];
        // A frame is a packet. Audio is judged by its bytes alone: FFmpeg hands out an audio
        // stream of a single chunk in pieces of 1024 bytes.
        if (s < 2) {
            size_t frames = 0;
            for (auto &p : packets)
                frames += p.first == s;
            EXPECT_EQ(frames, (cut.count.count(tags[s]) ? cut.count.at(tags[s]) : 0) + torn);
        }
        static const Bytes none;
        const Bytes &complete = cut.data.count(tags[s]) ? cut.data.at(tags[s]) : none;
        Bytes got = demuxed(copy, s, formats[s], copy + ".es");
        ASSERT_EQ(got.size(), complete.size() + (torn ? cut.tornSize : 0));
        EXPECT_TRUE(std::equal(complete.begin(), complete.end(), got.begin()));
        if (s < 2 && !complete.empty()) {
            std::string es = copy + ".complete.h264";
            writeFile(es, complete);
            EXPECT_EQ(avitest::run("ffmpeg -nostdin -v error -f h264 -i '" + es + "' -f null -"),
                      "");
            unlink(es.c_str());
        }
    }
    if (!tornVideo) {
        EXPECT_EQ(decodeErrors(copy), "");
    }
}

int64_t setClockSecond(int sec, int minutes)
{
    q7_set_clock_offset(0);
    struct timeval now;
    q7_gettime(&now);
    time_t t = now.tv_sec;
    struct tm tm;
    localtime_r(&t, &tm);
    int64_t offset = (int64_t)(sec - tm.tm_sec) + 60 * (int64_t)minutes;
    q7_set_clock_offset(offset);
    return offset;
}

} // namespace rectest

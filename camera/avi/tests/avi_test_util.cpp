#include "avi_test_util.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace avitest {

uint32_t u32(const Bytes &b, size_t off)
{
    if (off + 4 > b.size())
        return 0xDEADBEEFu;
    return (uint32_t)b[off] | (uint32_t)b[off + 1] << 8 | (uint32_t)b[off + 2] << 16 |
           (uint32_t)b[off + 3] << 24;
}

void putU32(Bytes &b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[off + i] = (uint8_t)(v >> (8 * i));
}

std::string fourcc(const Bytes &b, size_t off)
{
    if (off + 4 > b.size())
        return "";
    return std::string((const char *)&b[off], 4);
}

std::string shellWord(const std::string &word)
{
#ifdef _WIN32
    return "\"" + word + "\"";
#else
    std::string q = "'";
    for (char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
#endif
}

std::string run(const std::string &cmd, int *status, bool withStderr)
{
    std::string out;
#ifdef _WIN32
    // Wine's cmd redirects a command's standard error inside the parentheses, not after them.
    FILE *p = _popen(("(" + cmd + (withStderr ? " 2>&1)" : " 2>NUL)")).c_str(), "rb");
#else
    FILE *p = popen(("(" + cmd + (withStderr ? ") 2>&1" : ") 2>/dev/null")).c_str(), "r");
#endif
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
        out.append(buf, n);
#ifdef _WIN32
    const int st = _pclose(p);
    if (status)
        *status = st;
    // A program's text output ends its lines with CR LF on Windows.
    std::string lines;
    for (size_t i = 0; i < out.size(); i++)
        if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n'))
            lines += out[i];
    return lines;
#else
    const int st = pclose(p);
    if (status)
        *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
#endif
}

std::vector<AccessUnit> splitAccessUnits(const Bytes &s)
{
    // NAL units: position of the first byte after each start code.
    std::vector<size_t> nal;
    for (size_t i = 0; i + 3 <= s.size(); i++) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            nal.push_back(i + 3);
            i += 2;
        }
    }
    std::vector<AccessUnit> aus;
    AccessUnit cur{{}, false};
    bool haveSlice = false;
    for (size_t k = 0; k < nal.size(); k++) {
        size_t begin = nal[k];
        size_t end = k + 1 < nal.size() ? nal[k + 1] - 3 : s.size();
        // A 4-byte start code leaves its leading zero at the end of the previous unit.
        while (end > begin && s[end - 1] == 0 && k + 1 < nal.size())
            end--;
        if (begin >= end)
            continue;
        uint8_t type = s[begin] & 0x1F;
        bool slice = type == 1 || type == 5;
        bool firstMb = slice && begin + 1 < end && (s[begin + 1] & 0x80);
        if (haveSlice && ((type >= 6 && type <= 9) || (slice && firstMb))) {
            aus.push_back(cur);
            cur = AccessUnit{{}, false};
            haveSlice = false;
        }
        static const uint8_t sc[4] = {0, 0, 0, 1};
        cur.data.insert(cur.data.end(), sc, sc + 4);
        size_t at = cur.data.size();
        cur.data.insert(cur.data.end(), s.begin() + (long)begin, s.begin() + (long)end);
        if (type == 7 || type == 8 || type == 5)
            cur.data[at] = (uint8_t)((cur.data[at] & 0x9F) | 0x20);
        if (type == 5)
            cur.key = true;
        if (slice)
            haveSlice = true;
    }
    if (!cur.data.empty())
        aus.push_back(cur);
    return aus;
}

std::vector<AccessUnit> makeClip(const std::string &dir, int width, int height, int frames,
                                 const char *bitrate)
{
    char cmd[1024];
    std::string out =
        dir + "/clip_" + std::to_string(width) + "x" + std::to_string(height) + ".h264";
    snprintf(
        cmd, sizeof(cmd),
        "ffmpeg -nostdin -y -v error -f lavfi -i testsrc2=size=%dx%d:rate=30000/1001 -frames:v %d "
        "-c:v libx264 -preset ultrafast -g 30 -bf 0 %s%s -x264-params repeat-headers=1 -f h264 "
        "'%s'",
        width, height, frames, bitrate ? "-b:v " : "", bitrate ? bitrate : "", out.c_str());
    int status = 0;
    run(cmd, &status);
    if (status != 0)
        return {};
    return splitAccessUnits(readFile(out));
}

AVI_SYSTEM_PARAM recorderParams(bool audio, bool sub, int subWidth, int subHeight)
{
    AVI_SYSTEM_PARAM p = {};
    p.uSystemType = audio ? SYSTEM_TYPE_AUDIO_VIDEO : SYSTEM_TYPE_VIDEO;
    p.uChannelMode = sub ? CHANNEL_MODE_SUBPIC : CHANNEL_MODE_SINGLE;
    p.nEnableMeta = 1;
    p.uVideoType = ENCODING_H264;
    p.nMainWidth = 1920;
    p.nMainHeight = 1080;
    p.nSubWidth = sub ? subWidth : 0;
    p.nSubHeight = sub ? subHeight : 0;
    p.fFrameRate = 30.0 * 1000 / 1001;
    p.nAudioType = ENCODING_ULAW;
    p.nAudioChannel = 1;
    p.nSamplesPerSec = 16000;
    p.nAudioBitRate = 16000;
    p.nAudioFrameSize = 2000;
    p.nAudioBitPerSample = 16;
    return p;
}

std::vector<Chunk> interleave(const std::vector<AccessUnit> &main,
                              const std::vector<AccessUnit> *sub, bool audio)
{
    std::vector<Chunk> out;
    double audioDue = 0.125; // seconds of captured audio at the next block
    for (size_t i = 0; i < main.size(); i++) {
        out.push_back({DATA_TYPE_VIDEO_MAIN, main[i].data, main[i].key});
        if (sub && i < sub->size())
            out.push_back({DATA_TYPE_VIDEO_SUB, (*sub)[i].data, (*sub)[i].key});
        double t = (double)(i + 1) * 1001 / 30000;
        while (audio && t >= audioDue) {
            Bytes block(2000);
            for (size_t k = 0; k < block.size(); k++)
                block[k] = (uint8_t)(0x80 + ((k * 7 + out.size()) & 0x3F)); // quiet mu-law codes
            out.push_back({DATA_TYPE_AUDIO, block, false});
            audioDue += 0.125;
        }
    }
    return out;
}

bool writeRecording(const std::string &path, const AVI_SYSTEM_PARAM &prm,
                    const std::vector<Chunk> &chunks, Bytes *headerAtOpen)
{
    AVI_SYSTEM_PARAM p = prm;
    void *h = LIBAVI_createAvi((char *)path.c_str(), &p);
    if (!h)
        return false;
    if (headerAtOpen)
        *headerAtOpen = readFile(path);
    for (const Chunk &c : chunks) {
        AVI_FRAME_PARAM f = {};
        f.buf = (unsigned char *)c.data.data();
        f.size = (int)c.data.size();
        f.data_type = c.dataType;
        f.iskey_frame = c.key;
        LIBAVI_write_frame(h, &f);
    }
    LIBAVI_closeAvi(h);
    return true;
}

size_t moviOffset(const Bytes &file)
{
    return 20 + u32(file, 16);
}

std::vector<size_t> chunkOffsets(const Bytes &file)
{
    std::vector<size_t> out;
    size_t movi = moviOffset(file);
    size_t end = movi + 8 + u32(file, movi + 4);
    if (u32(file, movi + 4) == 0)
        end = file.size();
    size_t pos = movi + 12;
    while (pos + 8 <= end && pos + 8 <= file.size()) {
        uint32_t size = u32(file, pos + 4);
        if (fourcc(file, pos) == "idx1")
            break;
        out.push_back(pos);
        pos += 8 + size;
    }
    return out;
}

Bytes powerCut(const Bytes &closed, const Bytes &headerAtOpen, size_t length)
{
    Bytes cut(closed.begin(), closed.begin() + (long)std::min(length, closed.size()));
    size_t n = std::min(headerAtOpen.size(), cut.size());
    memcpy(cut.data(), headerAtOpen.data(), n);
    return cut;
}

std::vector<IndexEntry> readIndex(const Bytes &b)
{
    std::vector<IndexEntry> out;
    size_t movi = moviOffset(b);
    size_t idx = movi + 8 + u32(b, movi + 4);
    if (fourcc(b, idx) != "idx1")
        return out;
    uint32_t n = u32(b, idx + 4) / 16;
    for (uint32_t i = 0; i < n && idx + 8 + 16 * (size_t)(i + 1) <= b.size(); i++) {
        size_t e = idx + 8 + 16 * (size_t)i;
        out.push_back({fourcc(b, e), u32(b, e + 4), u32(b, e + 8), u32(b, e + 12)});
    }
    return out;
}

std::string completeFileFault(const Bytes &b)
{
    if (b.size() < 12 || fourcc(b, 0) != "RIFF" || fourcc(b, 8) != "AVI ")
        return "no RIFF AVI header";
    if (u32(b, 4) != b.size() - 8)
        return "RIFF size " + std::to_string(u32(b, 4)) + " in a file of " +
               std::to_string(b.size());
    const size_t movi = moviOffset(b);
    if (fourcc(b, movi) != "LIST" || fourcc(b, movi + 8) != "movi")
        return "no movi list at " + std::to_string(movi);
    const size_t idx = movi + 8 + u32(b, movi + 4);
    if (fourcc(b, idx) != "idx1")
        return "the movi list does not end at idx1";
    if (u32(b, idx + 4) % 16 != 0 || idx + 8 + u32(b, idx + 4) != b.size())
        return "idx1 does not end the file";
    for (const IndexEntry &e : readIndex(b)) {
        const size_t at = movi + 8 + e.offset;
        if (at + 8 + (size_t)e.length > idx)
            return "entry at offset " + std::to_string(e.offset) + " runs past the movi list";
        if (fourcc(b, at) != e.id || u32(b, at + 4) != e.length)
            return "entry at offset " + std::to_string(e.offset) + " does not name its chunk";
    }
    return "";
}

} // namespace avitest

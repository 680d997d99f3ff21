#include "avi/avimem.h"
#include "avi/aviwriter.h"
#include "avi/udavi.h"
#include "avi_test_util.h"

#include <gtest/gtest.h>
#include <regex>
#include <string.h>
#include <unistd.h>

using namespace avitest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Offsets of the strl lists in a file of this system.
std::vector<size_t> strlOffsets(const Bytes &b)
{
    std::vector<size_t> out;
    size_t pos = 88, movi = moviOffset(b);
    while (pos + 12 <= movi && fourcc(b, pos) == "LIST") {
        out.push_back(pos);
        pos += 8 + u32(b, pos + 4);
    }
    return out;
}

size_t strh(size_t strl, size_t field) { return strl + 20 + field; }
size_t strf(size_t strl) { return strl + 84; }

struct Written {
    TempDir dir;
    std::string path = dir.file("r.avi");
    Bytes bytes;
};

void recordFrames(Written &w, AVI_SYSTEM_PARAM prm, const std::vector<Chunk> &chunks)
{
    ASSERT_TRUE(writeRecording(w.path, prm, chunks));
    w.bytes = readFile(w.path);
}

bool printed(const std::string &out, const std::string &op, const std::string &text)
{
    return std::regex_search(out, std::regex("\\[libavi\\] - " + op + "\\([0-9]+\\):" + text));
}

} // namespace

TEST(AviWriter, RecorderFileWithSubVideoHasTheDocumentedLayout)
{
    Written w;
    Bytes key = {0, 0, 0, 1, 0x27, 1, 2, 3};
    recordFrames(w, recorderParams(true, true),
                 {{DATA_TYPE_VIDEO_MAIN, key, true}, {DATA_TYPE_VIDEO_SUB, key, true},
                  {DATA_TYPE_AUDIO, Bytes(2000, 0xFF), false}});
    const Bytes &b = w.bytes;
    EXPECT_EQ(u32(b, 16), 502u);
    EXPECT_EQ(moviOffset(b), 522u);
    EXPECT_EQ(fourcc(b, 522), "LIST");
    EXPECT_EQ(fourcc(b, 530), "movi");
    EXPECT_EQ(u32(b, 32), 33367u);
    EXPECT_EQ(u32(b, 32 + 24), 4u);
    EXPECT_EQ(u32(b, 32 + 40), 100u);
    EXPECT_EQ(u32(b, 32 + 44), 2997u);
    EXPECT_EQ(u32(b, 32 + 16), 1u); // dwTotalFrames: the main stream's count

    auto s = strlOffsets(b);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(u32(b, s[0] + 4), 116u);
    EXPECT_EQ(u32(b, s[1] + 4), 116u);
    EXPECT_EQ(u32(b, s[2] + 4), 94u);
    EXPECT_EQ(u32(b, s[3] + 4), 76u);
    // video
    EXPECT_EQ(fourcc(b, strh(s[0], 0)), "vids");
    EXPECT_EQ(fourcc(b, strh(s[0], 4)), "H264");
    EXPECT_EQ(u32(b, strh(s[0], 20)), 100u);
    EXPECT_EQ(u32(b, strh(s[0], 24)), 2997u);
    EXPECT_EQ(u32(b, strh(s[0], 40)), 0xFFFFFFFFu);
    EXPECT_EQ(u32(b, strh(s[0], 52)), 1920u | (1080u << 16));
    EXPECT_EQ(u32(b, strh(s[1], 52)), 1280u | (720u << 16));
    EXPECT_EQ(u32(b, strf(s[0])), 40u);
    EXPECT_EQ(u32(b, strf(s[0]) + 4), 1920u);
    EXPECT_EQ(u32(b, strf(s[0]) + 8), 1080u);
    EXPECT_EQ(u32(b, strf(s[0]) + 12), 1u | (24u << 16));
    EXPECT_EQ(fourcc(b, strf(s[0]) + 16), "H264");
    EXPECT_EQ(u32(b, strf(s[0]) + 20), 1920u * 1080 * 3);
    EXPECT_EQ(u32(b, strf(s[1]) + 20), 1280u * 720 * 3);
    // audio
    EXPECT_EQ(fourcc(b, strh(s[2], 0)), "auds");
    EXPECT_EQ(u32(b, strh(s[2], 4)), 1u);
    EXPECT_EQ(u32(b, strh(s[2], 20)), 1u);
    EXPECT_EQ(u32(b, strh(s[2], 24)), 16000u);
    EXPECT_EQ(u32(b, strh(s[2], 32)), 1u);
    EXPECT_EQ(u32(b, strh(s[2], 36)), 2000u);
    EXPECT_EQ(u32(b, strh(s[2], 44)), 1u);
    EXPECT_EQ(u32(b, strf(s[2])), 7u | (1u << 16));
    EXPECT_EQ(u32(b, strf(s[2]) + 4), 16000u);
    EXPECT_EQ(u32(b, strf(s[2]) + 8), 16000u);
    EXPECT_EQ(u32(b, strf(s[2]) + 12), 1u | (8u << 16));
    EXPECT_EQ(b[strf(s[2]) + 16], 0);
    // text
    EXPECT_EQ(fourcc(b, strh(s[3], 0)), "txts");
    EXPECT_EQ(u32(b, strh(s[3], 20)), 100u);
    EXPECT_EQ(u32(b, strh(s[3], 24)), 0u);
    EXPECT_EQ(u32(b, strh(s[3], 32)), 0u);
    EXPECT_EQ(u32(b, s[3] + 80), 0u);
    // chunk identifiers in creation order
    auto c = chunkOffsets(b);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(fourcc(b, c[0]), "00dc");
    EXPECT_EQ(fourcc(b, c[1]), "01dc");
    EXPECT_EQ(fourcc(b, c[2]), "02wb");
}

TEST(AviWriter, RecorderFileWithoutSubVideo)
{
    Written w;
    recordFrames(w, recorderParams(true, false), {{DATA_TYPE_AUDIO, Bytes(2000, 0xFF), false}});
    EXPECT_EQ(u32(w.bytes, 16), 378u);
    EXPECT_EQ(moviOffset(w.bytes), 398u);
    auto s = strlOffsets(w.bytes);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(fourcc(w.bytes, chunkOffsets(w.bytes)[0]), "01wb");
    EXPECT_EQ(u32(w.bytes, 32 + 16), 0u);
}

TEST(AviWriter, VideoOnlyHasNoAudioStream)
{
    Written w;
    CaptureStdout();
    recordFrames(w, recorderParams(false, false),
                 {{DATA_TYPE_VIDEO_MAIN, Bytes(10, 1), false}, {DATA_TYPE_AUDIO, Bytes(10, 2), false}});
    EXPECT_TRUE(printed(GetCapturedStdout(), "WriteAudioData", "AVI writing error : m_aps is NULL\n"));
    EXPECT_EQ(u32(w.bytes, 32 + 24), 2u);
    auto c = chunkOffsets(w.bytes);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(fourcc(w.bytes, c[0]), "00dc");
}

TEST(AviWriter, SubFrameWithoutSubStreamIsRefused)
{
    Written w;
    CaptureStdout();
    recordFrames(w, recorderParams(true, false), {{DATA_TYPE_VIDEO_SUB, Bytes(10, 1), false}});
    EXPECT_TRUE(printed(GetCapturedStdout(), "WriteVideoData", "AVI writing error : m_vps is NULL\n"));
    EXPECT_TRUE(chunkOffsets(w.bytes).empty());
}

TEST(AviWriter, WriteFrameResultIsAlwaysZero)
{
    TempDir d;
    AVI_SYSTEM_PARAM p = recorderParams(false, false);
    void *h = LIBAVI_createAvi((char *)d.file("z.avi").c_str(), &p);
    ASSERT_NE(h, nullptr);
    unsigned char x[4] = {1, 2, 3, 4};
    for (int type : {-1, 0, 1, 2, 3, 4, 99}) {
        AVI_FRAME_PARAM f = {x, 4, 0, type, 0, 0, 0};
        CaptureStdout();
        EXPECT_EQ(LIBAVI_write_frame(h, &f), 0) << type;
        GetCapturedStdout();
    }
    EXPECT_EQ(LIBAVI_write_frame(nullptr, nullptr), 0);
    LIBAVI_closeAvi(h);
    Bytes b = readFile(d.file("z.avi"));
    auto c = chunkOffsets(b);
    ASSERT_EQ(c.size(), 2u); // main video and text; the others have no stream or no meaning
    EXPECT_EQ(fourcc(b, c[0]), "00dc");
    EXPECT_EQ(fourcc(b, c[1]), "01tx");
    EXPECT_EQ(u32(b, strlOffsets(b)[1] + 20 + 32), 1u);
    EXPECT_EQ(LIBAVI_closeAvi(nullptr), 0);
}

// A sync leaves on disk what a power cut right after it would: the header as written at the
// open and every chunk so far, even those small enough to wait in the file stream's buffer, and
// the repair makes a complete file of it. The recording goes on afterwards.
TEST(AviWriter, SyncLeavesEveryFrameSoFarOnDiskForTheRepair)
{
    TempDir dir;
    std::string path = dir.file("open.avi");
    AVI_SYSTEM_PARAM p = recorderParams(true, true);
    void *h = LIBAVI_createAvi((char *)path.c_str(), &p);
    ASSERT_NE(h, nullptr);
    Bytes key = {0, 0, 0, 1, 0x27, 1, 2, 3}, other = {0, 0, 0, 1, 0x21, 4, 5};
    Bytes audio(2000, 0x7F);
    std::vector<std::pair<int, Bytes *>> frames = {{DATA_TYPE_VIDEO_MAIN, &key},
                                                   {DATA_TYPE_VIDEO_SUB, &key},
                                                   {DATA_TYPE_AUDIO, &audio},
                                                   {DATA_TYPE_VIDEO_MAIN, &other}};
    for (auto &fr : frames) {
        AVI_FRAME_PARAM f = {fr.second->data(), (int)fr.second->size(), 0, fr.first,
                             fr.second == &key, 0, 0};
        LIBAVI_write_frame(h, &f);
    }
    const size_t header = moviOffset(readFile(path)) + 12;
    EXPECT_EQ(readFile(path).size(), header) << "the chunks wait in the stream's buffer";
    EXPECT_EQ(LIBAVI_syncAvi(h), 0);
    std::string copy = dir.file("cut.avi");
    writeFile(copy, readFile(path));
    EXPECT_EQ(readFile(copy).size(), header + 4 * 8 + 2 * key.size() + audio.size() + other.size());
    ASSERT_EQ(LIBAVI_recoverFile((char *)copy.c_str()), 0);
    Bytes repaired = readFile(copy);
    std::vector<size_t> chunks = chunkOffsets(repaired);
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(fourcc(repaired, chunks[0]), "00dc");
    EXPECT_EQ(fourcc(repaired, chunks[1]), "01dc");
    EXPECT_EQ(fourcc(repaired, chunks[2]), "02wb");
    EXPECT_EQ(fourcc(repaired, chunks[3]), "00dc");

    AVI_FRAME_PARAM f = {other.data(), (int)other.size(), 0, DATA_TYPE_VIDEO_MAIN, 0, 0, 0};
    LIBAVI_write_frame(h, &f);
    EXPECT_EQ(LIBAVI_closeAvi(h), 0);
    EXPECT_EQ(chunkOffsets(readFile(path)).size(), 5u);
    EXPECT_EQ(LIBAVI_syncAvi(nullptr), 0) << "no file, nothing to bring to the card";
}

TEST(AviWriter, TimeFieldsNeverReachTheFile)
{
    TempDir d;
    Bytes files[2];
    for (int i = 0; i < 2; i++) {
        std::string path = d.file("t" + std::to_string(i) + ".avi");
        AVI_SYSTEM_PARAM p = recorderParams(true, false);
        void *h = LIBAVI_createAvi((char *)path.c_str(), &p);
        ASSERT_NE(h, nullptr);
        unsigned char x[6] = {0, 0, 0, 1, 0x27, 9};
        AVI_FRAME_PARAM f = {x, 6, 0, DATA_TYPE_VIDEO_MAIN, 1, 1000 * i + 7, 999 * i};
        LIBAVI_write_frame(h, &f);
        LIBAVI_closeAvi(h);
        files[i] = readFile(path);
    }
    EXPECT_EQ(files[0], files[1]);
}

struct TranslateCase {
    uint32_t systemType;
    int audioType;
    uint32_t videoType;
    uint32_t channelMode;
    uint32_t streams;
    const char *handler;
    uint16_t audioTag; // 0: no audio stream
};

class AviWriterTranslate : public testing::TestWithParam<TranslateCase> {};

TEST_P(AviWriterTranslate, CodesMapToStreams)
{
    const TranslateCase &tc = GetParam();
    TempDir d;
    AVI_SYSTEM_PARAM p = recorderParams(true, false);
    p.uSystemType = tc.systemType;
    p.nAudioType = tc.audioType;
    p.uVideoType = tc.videoType;
    p.uChannelMode = tc.channelMode;
    p.nSubWidth = 720;
    p.nSubHeight = 480;
    std::string path = d.file("x.avi");
    void *h = LIBAVI_createAvi((char *)path.c_str(), &p);
    ASSERT_NE(h, nullptr);
    LIBAVI_closeAvi(h);
    Bytes b = readFile(path);
    EXPECT_EQ(u32(b, 32 + 24), tc.streams);
    auto s = strlOffsets(b);
    ASSERT_EQ(s.size(), tc.streams);
    EXPECT_EQ(fourcc(b, strh(s[0], 4)), tc.handler);
    size_t audio = tc.channelMode == CHANNEL_MODE_SUBPIC ? 2 : 1;
    if (tc.audioTag) {
        ASSERT_GT(s.size(), audio);
        EXPECT_EQ(fourcc(b, strh(s[audio], 0)), "auds");
        EXPECT_EQ(b[strf(s[audio])], tc.audioTag);
    } else {
        EXPECT_NE(fourcc(b, strh(s[audio], 0)), "auds");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AviWriterTranslate,
    testing::Values(TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ULAW, ENCODING_H264, 0, 3, "H264", 7},
                    TranslateCase{SYSTEM_TYPE_VIDEO, ENCODING_ULAW, ENCODING_H264, 0, 2, "H264", 0},
                    TranslateCase{7, ENCODING_ULAW, ENCODING_H264, 0, 3, "H264", 7},
                    TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ALAW, ENCODING_H264, 0, 3, "H264", 7},
                    TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ADPCM, ENCODING_H264, 0, 3, "H264", 0x11},
                    TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ULAW, ENCODING_MPEG4, 0, 3, "divx", 7},
                    TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ULAW, ENCODING_JPEG, 1, 4, "H264", 7},
                    TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ULAW, ENCODING_H264, 5, 3, "H264", 7}));

// The audio format records straight through the class (LIBAVI never asks for MPEG audio).
TEST(AviWriter, AudioFormatRecords)
{
    TempDir d;
    SYSTEM_PARAM p = {};
    p.uSystemType = IME6400_ET_SYSTEM;
    p.uVideoType = 7; // no known handler
    p.nMainWidth = 64;
    p.nMainHeight = 48;
    p.fFrameRate = 25;
    p.nAudioChannel = 2;
    p.nSamplesPerSec = 16000;
    p.nAudioBitRate = 64000;
    p.nAudioFrameSize = 1024;

    struct {
        int type;
        uint32_t fmtSize;
        uint32_t scale, sampleSize;
        uint16_t tag;
        uint32_t avg;
        uint16_t align, bits, cb;
    } cases[] = {
        {IME6400_AM_MULAW, 18, 1, 2, 7, 32000, 2, 8, 0},
        {IME6400_AM_ADPCM, 20, 1024, 1024, 0x11, 16000, 512, 4, 2},
        {IME6400_AM_MPEG1L2, 40, 1, 1, 0x50, 8000, 1, 16, 22},
    };
    for (const auto &c : cases) {
        p.nAudioType = c.type;
        std::string path = d.file("a" + std::to_string(c.type) + ".avi");
        CAVIWriter w;
        ASSERT_EQ(w.Open(path.c_str(), &p), 0);
        EXPECT_TRUE(w.IsRecord());
        w.Close();
        Bytes b = readFile(path);
        auto s = strlOffsets(b);
        ASSERT_EQ(s.size(), 2u) << c.type;
        EXPECT_EQ(u32(b, strh(s[0], 4)), 0u);
        EXPECT_EQ(u32(b, strf(s[0]) + 16), 0u);
        EXPECT_EQ(u32(b, strh(s[0], 24)), 2500u);
        EXPECT_EQ(u32(b, s[1] + 80), c.fmtSize) << c.type;
        EXPECT_EQ(u32(b, s[1] + 4), 76 + c.fmtSize);
        EXPECT_EQ(u32(b, strh(s[1], 20)), c.scale) << c.type;
        EXPECT_EQ(u32(b, strh(s[1], 24)), 64000u);
        EXPECT_EQ(u32(b, strh(s[1], 36)), 1024u);
        EXPECT_EQ(u32(b, strh(s[1], 44)), c.sampleSize) << c.type;
        size_t f = strf(s[1]);
        EXPECT_EQ(b[f] | b[f + 1] << 8, c.tag);
        EXPECT_EQ(b[f + 2], 2);
        EXPECT_EQ(u32(b, f + 4), 16000u);
        EXPECT_EQ(u32(b, f + 8), c.avg) << c.type;
        EXPECT_EQ(b[f + 12] | b[f + 13] << 8, c.align) << c.type;
        EXPECT_EQ(b[f + 14], c.bits) << c.type;
        EXPECT_EQ(b[f + 16], c.cb) << c.type;
        if (c.type == IME6400_AM_ADPCM) {
            // samples per block = frame size x rate / average bytes per second
            EXPECT_EQ(b[f + 18] | b[f + 19] << 8, 1024 * 16000 / 16000);
        }
        if (c.type == IME6400_AM_MPEG1L2) {
            EXPECT_EQ(b[f + 18], 2);            // layer
            EXPECT_EQ(u32(b, f + 20), 64000u); // head bit rate
            EXPECT_EQ(b[f + 24], 1);            // mode
        }
    }
}

TEST(AviWriter, OpenRefusesUnknownAudioType)
{
    TempDir d;
    SYSTEM_PARAM p = {};
    p.uSystemType = IME6400_ET_SYSTEM;
    p.nAudioType = 3;
    CAVIWriter w;
    CaptureStdout();
    EXPECT_EQ(w.Open(d.file("n.avi").c_str(), &p), -1);
    EXPECT_NE(GetCapturedStdout().find("Invalid audio type: 3"), std::string::npos);
    EXPECT_FALSE(w.IsRecord());
    EXPECT_NE(access(d.file("n.avi").c_str(), F_OK), 0);
    // Without audio the value does not matter.
    p.uSystemType = IME6400_ET_VIDEO;
    EXPECT_EQ(w.Open(d.file("n.avi").c_str(), &p), 0);
    w.Close();
}

TEST(AviWriter, SecondOpenIsRefusedAndLeavesFileAlone)
{
    TempDir d;
    SYSTEM_PARAM p = {1, 0, 1, 1, 1920, 1080, 0, 0, 30000.0 / 1001, 1, 1, 16000, 16000, 2000, 16};
    CAVIWriter w;
    ASSERT_EQ(w.Open(d.file("1.avi").c_str(), &p), 0);
    CaptureStdout();
    EXPECT_EQ(w.Open(d.file("2.avi").c_str(), &p), -1);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_NE(access(d.file("2.avi").c_str(), F_OK), 0);
    Bytes key = {0, 0, 0, 1, 0x27};
    EXPECT_EQ(w.WriteVideoData(key.data(), 5, 1, 1, 0), 0);
    w.Close();
    w.Close(); // does nothing
    Bytes b = readFile(d.file("1.avi"));
    EXPECT_EQ(chunkOffsets(b).size(), 1u);
    EXPECT_EQ(u32(b, 4), b.size() - 8);
}

TEST(AviWriter, WritesNeedAnOpenFile)
{
    CAVIWriter w;
    unsigned char x[2] = {};
    for (int which = 0; which < 3; which++) {
        CaptureStdout();
        int rc = which == 0 ? w.WriteVideoData(x, 2, 0, 1, 0)
                 : which == 1 ? w.WriteAudioData(x, 2, 1)
                              : w.WriteMetaData(x, 2, 1);
        EXPECT_EQ(rc, -1);
        EXPECT_NE(GetCapturedStdout().find("File is not opened!!\n"), std::string::npos);
    }
}

TEST(AviWriter, MetaDataWithoutTextStream)
{
    TempDir d;
    SYSTEM_PARAM p = {3, 0, 0, 1, 64, 48, 0, 0, 30, 1, 1, 16000, 16000, 2000, 16};
    CAVIWriter w;
    ASSERT_EQ(w.Open(d.file("m.avi").c_str(), &p), 0);
    unsigned char x[2] = {};
    CaptureStdout();
    EXPECT_EQ(w.WriteMetaData(x, 2, 1), -1);
    EXPECT_TRUE(printed(GetCapturedStdout(), "WriteMetaData", "AVI writing error : m_mps is NULL\n"));
    EXPECT_EQ(w.WriteAudioData(x, 2, 1), 0);
    w.Close();
}

TEST(AviWriter, OpenFailsOnUnwritablePath)
{
    AVI_SYSTEM_PARAM p = recorderParams(true, true);
    CaptureStdout();
    EXPECT_EQ(LIBAVI_createAvi((char *)"/nonexistent-dir/x.avi", &p), nullptr);
    EXPECT_TRUE(printed(GetCapturedStdout(), "Open", "AVIFileOpen error : 0xffffffff\n"));
}

struct OpenAllocCase {
    int nth; // allocation of Open that fails (after the AVIFILE)
    const char *message;
};

class AviWriterOpenAllocFail : public testing::TestWithParam<OpenAllocCase> {};

// Allocations of Open with main+sub video, audio and text: 1 AVIFILE, then per stream the
// stream record, its block and (not for text) the format copy.
TEST_P(AviWriterOpenAllocFail, ReleasesEverythingAndRemovesTheFile)
{
    TempDir d;
    std::string path = d.file("f.avi");
    SYSTEM_PARAM p = {3, 1, 1, 1, 1920, 1080, 1280, 720, 30000.0 / 1001, 1, 1, 16000, 16000, 2000, 16};
    CAVIWriter w;
    avi_failAllocAfter(GetParam().nth);
    CaptureStdout();
    EXPECT_EQ(w.Open(path.c_str(), &p), -1);
    std::string out = GetCapturedStdout();
    avi_failAllocAfter(0);
    EXPECT_TRUE(printed(out, "Open", GetParam().message)) << out;
    EXPECT_FALSE(w.IsRecord());
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    // The writer is closed again: a later open is accepted and gives a complete file.
    ASSERT_EQ(w.Open(path.c_str(), &p), 0);
    w.Close();
    Bytes b = readFile(path);
    EXPECT_EQ(u32(b, 32 + 24), 4u);
    EXPECT_EQ(u32(b, 4), b.size() - 8);
}

INSTANTIATE_TEST_SUITE_P(
    Allocations, AviWriterOpenAllocFail,
    testing::Values(OpenAllocCase{1, "AVIFileOpen error : 0xffffffff\n"},
                    OpenAllocCase{2, "AVIFileCreateStream MAIN error : 0xffffffff\n"},
                    OpenAllocCase{3, "AVIFileCreateStream MAIN error : 0xffffffff\n"},
                    OpenAllocCase{4, "AVIStreamSetFormat MAIN error : 0xffffffff\n"},
                    OpenAllocCase{5, "AVIFileCreateStream SUB error : 0xffffffff\n"},
                    OpenAllocCase{7, "AVIStreamSetFormat SUB error : 0xffffffff\n"},
                    OpenAllocCase{8, "AVIFileCreateStream error : 0xffffffff\n"},
                    OpenAllocCase{10, "AVIStreamSetFormat error : 0xffffffff\n"},
                    OpenAllocCase{11, "AVIFileCreateStream error : 0xffffffff\n"},
                    OpenAllocCase{12, "AVIFileCreateStream error : 0xffffffff\n"}));

#include "avi/avimem.h"
#include "avi/aviwriter.h"
#include "avi/udavi.h"
#include "avi_test_util.h"
#include "testsupport/console.h"

#include <gtest/gtest.h>
#include <regex>
#include <string.h>
#include <unistd.h>

using namespace avitest;

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

size_t strh(size_t strl, size_t field)
{
    return strl + 20 + field;
}
size_t strf(size_t strl)
{
    return strl + 84;
}

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
                 {{DATA_TYPE_VIDEO_MAIN, key, true},
                  {DATA_TYPE_VIDEO_SUB, key, true},
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
    const std::string out = printedBy([&] {
        recordFrames(
            w, recorderParams(false, false),
            {{DATA_TYPE_VIDEO_MAIN, Bytes(10, 1), false}, {DATA_TYPE_AUDIO, Bytes(10, 2), false}});
    });
    EXPECT_TRUE(printed(out, "WriteAudioData", "AVI writing error : m_aps is NULL\n"));
    EXPECT_EQ(u32(w.bytes, 32 + 24), 2u);
    auto c = chunkOffsets(w.bytes);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(fourcc(w.bytes, c[0]), "00dc");
}

TEST(AviWriter, SubFrameWithoutSubStreamIsRefused)
{
    Written w;
    const std::string out = printedBy([&] {
        recordFrames(w, recorderParams(true, false), {{DATA_TYPE_VIDEO_SUB, Bytes(10, 1), false}});
    });
    EXPECT_TRUE(printed(out, "WriteVideoData", "AVI writing error : m_vps is NULL\n"));
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
        EXPECT_EQ(printing([&] { return LIBAVI_write_frame(h, &f); }).value, 0) << type;
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
        AVI_FRAME_PARAM f = {
            fr.second->data(), (int)fr.second->size(), 0, fr.first, fr.second == &key, 0, 0};
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

class AviWriterTranslate : public testing::TestWithParam<TranslateCase>
{};

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
    testing::Values(
        TranslateCase{SYSTEM_TYPE_AUDIO_VIDEO, ENCODING_ULAW, ENCODING_H264, 0, 3, "H264", 7},
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
            EXPECT_EQ(b[f + 18], 2);           // layer
            EXPECT_EQ(u32(b, f + 20), 64000u); // head bit rate
            EXPECT_EQ(b[f + 24], 1);           // mode
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
    auto opened = printing([&] { return w.Open(d.file("n.avi").c_str(), &p); });
    EXPECT_EQ(opened.value, -1);
    EXPECT_NE(opened.out.find("Invalid audio type: 3"), std::string::npos);
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
    auto opened = printing([&] { return w.Open(d.file("2.avi").c_str(), &p); });
    EXPECT_EQ(opened.value, -1);
    EXPECT_EQ(opened.out, "");
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
        auto written = printing([&] {
            return which == 0   ? w.WriteVideoData(x, 2, 0, 1, 0)
                   : which == 1 ? w.WriteAudioData(x, 2, 1)
                                : w.WriteMetaData(x, 2, 1);
        });
        EXPECT_EQ(written.value, -1);
        EXPECT_NE(written.out.find("File is not opened!!\n"), std::string::npos);
    }
}

TEST(AviWriter, MetaDataWithoutTextStream)
{
    TempDir d;
    SYSTEM_PARAM p = {3, 0, 0, 1, 64, 48, 0, 0, 30, 1, 1, 16000, 16000, 2000, 16};
    CAVIWriter w;
    ASSERT_EQ(w.Open(d.file("m.avi").c_str(), &p), 0);
    unsigned char x[2] = {};
    auto written = printing([&] { return w.WriteMetaData(x, 2, 1); });
    EXPECT_EQ(written.value, -1);
    EXPECT_TRUE(printed(written.out, "WriteMetaData", "AVI writing error : m_mps is NULL\n"));
    EXPECT_EQ(w.WriteAudioData(x, 2, 1), 0);
    w.Close();
}

TEST(AviWriter, OpenFailsOnUnwritablePath)
{
    AVI_SYSTEM_PARAM p = recorderParams(true, true);
    auto created = printing([&] { return LIBAVI_createAvi((char *)"/nonexistent-dir/x.avi", &p); });
    EXPECT_EQ(created.value, nullptr);
    EXPECT_TRUE(printed(created.out, "Open", "AVIFileOpen error : 0xffffffff\n"));
}

struct OpenAllocCase {
    int nth; // allocation of Open that fails (after the AVIFILE)
    const char *message;
};

class AviWriterOpenAllocFail : public testing::TestWithParam<OpenAllocCase>
{};

// Allocations of Open with main+sub video, audio and text: 1 AVIFILE, then per stream the
// stream record, its block and (not for text) the format copy.
TEST_P(AviWriterOpenAllocFail, ReleasesEverythingAndRemovesTheFile)
{
    TempDir d;
    std::string path = d.file("f.avi");
    SYSTEM_PARAM p = {3, 1, 1,     1,     1920, 1080, 1280, 720, 30000.0 / 1001,
                      1, 1, 16000, 16000, 2000, 16};
    CAVIWriter w;
    avi_failAllocAfter(GetParam().nth);
    auto opened = printing([&] { return w.Open(path.c_str(), &p); });
    EXPECT_EQ(opened.value, -1);
    const std::string &out = opened.out;
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

namespace {

// A small fixed recording of the given streams: a main (and sub) video frame per period, key
// frames every 8 led by 0x27 and others by 0x21, odd and even sizes; an audio block every fourth
// period and a text chunk every fifth.
std::vector<Chunk> pinnedChunks(bool sub, bool audio, bool text)
{
    std::vector<Chunk> out;
    auto frame = [](int i, int stream) {
        Bytes d(41 + (size_t)((i * 29 + stream * 11) % 97));
        for (size_t k = 0; k < d.size(); k++)
            d[k] = (uint8_t)(k * 7 + (size_t)i * 3 + (size_t)stream);
        d[0] = d[1] = d[2] = 0;
        d[3] = 1;
        d[4] = i % 8 == 0 ? 0x27 : 0x21;
        return d;
    };
    for (int i = 0; i < 24; i++) {
        out.push_back({DATA_TYPE_VIDEO_MAIN, frame(i, 0), i % 8 == 0});
        if (sub)
            out.push_back({DATA_TYPE_VIDEO_SUB, frame(i, 1), i % 8 == 0});
        if (audio && i % 4 == 3) {
            Bytes block(250 + (size_t)i);
            for (size_t k = 0; k < block.size(); k++)
                block[k] = (uint8_t)(0x80 + ((k * 5 + (size_t)i) & 0x3F));
            out.push_back({DATA_TYPE_AUDIO, block, false});
        }
        if (text && i % 5 == 4)
            out.push_back({DATA_TYPE_TEXT, Bytes(17 + (size_t)i, (uint8_t)('a' + i)), false});
    }
    return out;
}

// Writes the chunks through the class; the file as it stood right after the open goes to
// `atOpen`.
bool writePinned(const std::string &path, const SYSTEM_PARAM &p, const std::vector<Chunk> &chunks,
                 Bytes *atOpen)
{
    CAVIWriter w;
    if (w.Open(path.c_str(), &p) != 0)
        return false;
    *atOpen = readFile(path);
    for (const Chunk &c : chunks) {
        BYTE *d = (BYTE *)c.data.data();
        const int n = (int)c.data.size();
        if (c.dataType == DATA_TYPE_AUDIO)
            w.WriteAudioData(d, n, 1);
        else if (c.dataType == DATA_TYPE_TEXT)
            w.WriteMetaData(d, n, 1);
        else
            w.WriteVideoData(d, n, c.key, 1, c.dataType);
    }
    w.Close();
    return true;
}

std::string sha256(const Bytes &b)
{
    TempDir d;
    writeFile(d.file("h"), b);
    int status = -1;
    std::string out = run("sha256sum '" + d.file("h") + "'", &status, false);
    return status == 0 && out.size() >= 64 ? out.substr(0, 64) : "sha256sum failed";
}

struct PinnedCase {
    const char *name;
    uint32_t systemType, channelMode, videoType;
    int enableMeta, audioType;
    // SHA-256 of the file after the open, of the closed file, of the repaired copy cut inside
    // a chunk, and of the repaired copy that was also damaged before the cut.
    const char *atOpen, *closed, *cutRepaired, *damagedRepaired;
};

void PrintTo(const PinnedCase &c, std::ostream *os)
{
    *os << c.name;
}

class AviWriterPinnedBytes : public testing::TestWithParam<PinnedCase>
{};

} // namespace

// The bytes of a recording and of its repairs, as this system has always written them: any
// change to the layout, the header values, the index or the repair shows here.
TEST_P(AviWriterPinnedBytes, RecordingAndRepairKeepTheirBytes)
{
    const PinnedCase &c = GetParam();
    SYSTEM_PARAM p = {};
    p.uSystemType = c.systemType;
    p.uChannelMode = c.channelMode;
    p.nEnableMeta = c.enableMeta;
    p.uVideoType = c.videoType;
    p.nMainWidth = 320;
    p.nMainHeight = 240;
    p.nSubWidth = 176;
    p.nSubHeight = 144;
    p.fFrameRate = 30.0 * 1000 / 1001;
    p.nAudioType = c.audioType;
    p.nAudioChannel = 1;
    p.nSamplesPerSec = 8000;
    p.nAudioBitRate = 64000;
    p.nAudioFrameSize = 256;
    p.nAudioBitPerSample = 16;
    const bool sub = c.channelMode == IME6400_CM_SUBPIC;
    const bool audio = c.systemType == IME6400_ET_SYSTEM;

    TempDir dir;
    Bytes atOpen;
    ASSERT_TRUE(
        writePinned(dir.file("r.avi"), p, pinnedChunks(sub, audio, c.enableMeta != 0), &atOpen));
    const Bytes closed = readFile(dir.file("r.avi"));
    ASSERT_EQ(completeFileFault(closed), "");
    const std::vector<size_t> chunks = chunkOffsets(closed);
    ASSERT_GE(chunks.size(), 20u);

    // The power fails 5 bytes into the data of the third chunk from the end.
    const Bytes cut = powerCut(closed, atOpen, chunks[chunks.size() - 3] + 8 + 5);
    // ... and a cluster in the middle never reached the card: the header of a chunk is garbage.
    Bytes damaged = cut;
    for (size_t k = 0; k < 8; k++)
        damaged[chunks[chunks.size() / 2] + k] = (uint8_t)(0xE0 + k);

    const std::string cutPath = dir.file("cut.avi"), damagedPath = dir.file("damaged.avi");
    writeFile(cutPath, cut);
    writeFile(damagedPath, damaged);
    const int cutRc = printing([&] { return LIBAVI_recoverFile((char *)cutPath.c_str()); }).value;
    const int damagedRc =
        printing([&] { return LIBAVI_recoverFile((char *)damagedPath.c_str()); }).value;
    ASSERT_EQ(cutRc, 0);
    ASSERT_EQ(damagedRc, 0);
    const Bytes cutRepaired = readFile(cutPath), damagedRepaired = readFile(damagedPath);
    EXPECT_EQ(completeFileFault(cutRepaired), "");
    EXPECT_EQ(completeFileFault(damagedRepaired), "");
    EXPECT_EQ(fourcc(damagedRepaired, chunks[chunks.size() / 2]), "JUNK");

    EXPECT_EQ(sha256(atOpen), c.atOpen);
    EXPECT_EQ(sha256(closed), c.closed);
    EXPECT_EQ(sha256(cutRepaired), c.cutRepaired);
    EXPECT_EQ(sha256(damagedRepaired), c.damagedRepaired);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, AviWriterPinnedBytes,
    testing::Values(PinnedCase{"H264MainSubMulawText", IME6400_ET_SYSTEM, IME6400_CM_SUBPIC,
                               IME6400_SD_H264, 1, IME6400_AM_MULAW,
                               "341a1cd772061ca386279583e034782f5de44b9568b5276b401fee5951990856",
                               "93dbb7e623781a099480be71d2535bdb1cdd888f167d5d4b6087d90f6f18b939",
                               "cf04586ae6b6b6b8456f1c15853de8b4bfbe64e25b5a83e184a77786639c53ae",
                               "fbd82d7824994ba1b1832d666d89eea2fd7a49a142830b4edd8b2acd847328ea"},
                    PinnedCase{"H264MainOnly", IME6400_ET_VIDEO, IME6400_CM_SINGLE, IME6400_SD_H264,
                               0, IME6400_AM_MULAW,
                               "4b030b088d085f62041c03423fc86178695d7741abb393d8aea189d1e93242b1",
                               "a26d7795cb221bbe8b31cd7563572e604dfcbb11464f8a8f813faa2fdaee70b8",
                               "7fcb85798e6d0b7ee98d2854ecf4569e9bb34a997c86f7e5c56fbdbe4235b8f5",
                               "518da7a8a8a19c717251758692da876c1538303e2b4f9905c125830fbb342d6d"},
                    PinnedCase{"Mpeg4MainAdpcmText", IME6400_ET_SYSTEM, IME6400_CM_SINGLE,
                               IME6400_SD_MPEG4, 1, IME6400_AM_ADPCM,
                               "539f76304feb8788df2f65242051c05b1c2b4694c2b32c0fc75d665c9e5c4d18",
                               "8874bbb16439625558f021e857d2f0d490547362ef2ea12a51eb668edaa00f25",
                               "1df4354a03848e53f7c840092fec91c18d46f61026b3a6c6f9803d5b2b4842e7",
                               "6ee52ec1ba8efb4a3b1c8a7557e10939aded0c3caef718885426ce72ceb0c05d"},
                    PinnedCase{"H264MainSubMpegAudio", IME6400_ET_SYSTEM, IME6400_CM_SUBPIC,
                               IME6400_SD_H264, 0, IME6400_AM_MPEG1L2,
                               "eac506dd9ef29f192fb1163c84f388f579c0a9ba3e96e49e6a561c78ef8bc0a3",
                               "53c6634b9a72400ecf3d16378b11c3807ccdd8918c3b542685a4a35025cb23ad",
                               "2e1e54b44c4e3d0fef3637528e9ccd16fcc999b28c2348a1fb83fd1697e10b15",
                               "7cbf5152f2588842cf193e7d65cfeeb0bc6ecaac3794581719336e2e34586d59"}),
    [](const testing::TestParamInfo<PinnedCase> &i) { return std::string(i.param.name); });

#include "avi/avirecover.h"
#include "avi/udavi.h"
#include "avi_test_util.h"

#include <gtest/gtest.h>
#include <regex>
#include <string.h>

using namespace avitest;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Synthetic recorder chunks: a main video frame per period (a key frame every 30, led by an
// SPS NAL header 0x27, else a slice 0x21), a 2000-byte audio block every 125 ms.
std::vector<Chunk> syntheticChunks(int frames)
{
    std::vector<AccessUnit> main;
    for (int i = 0; i < frames; i++) {
        bool key = i % 30 == 0;
        Bytes d(301 + (size_t)(i * 37) % 900); // odd and even sizes
        for (size_t k = 0; k < d.size(); k++)
            d[k] = (uint8_t)(k * 13 + (size_t)i);
        d[0] = d[1] = d[2] = 0;
        d[3] = 1;
        d[4] = key ? 0x27 : 0x21;
        main.push_back({d, key});
    }
    return interleave(main, nullptr, true);
}

struct Fixture {
    TempDir dir;
    std::string path = dir.file("cut.avi");
    Bytes closed, atOpen;
    std::vector<Chunk> chunks;

    explicit Fixture(std::vector<Chunk> c, bool audio = true) : chunks(std::move(c))
    {
        std::string full = dir.file("full.avi");
        EXPECT_TRUE(writeRecording(full, recorderParams(audio, false), chunks, &atOpen));
        closed = readFile(full);
    }
    // The closed file of the first n chunks, as a normal close writes it.
    Bytes closedOf(size_t n)
    {
        std::string p = dir.file("ref.avi");
        std::vector<Chunk> part(chunks.begin(), chunks.begin() + (long)n);
        EXPECT_TRUE(writeRecording(p, recorderParams(true, false), part));
        return readFile(p);
    }
    int repair(std::string *out = nullptr)
    {
        CaptureStdout();
        int rc = LIBAVI_recoverFile((char *)path.c_str());
        std::string o = GetCapturedStdout();
        if (out)
            *out = o;
        return rc;
    }
};

struct IndexEntry {
    std::string id;
    uint32_t flags, offset, length;
};

std::vector<IndexEntry> readIndex(const Bytes &b)
{
    std::vector<IndexEntry> out;
    size_t movi = moviOffset(b);
    size_t idx = movi + 8 + u32(b, movi + 4);
    if (fourcc(b, idx) != "idx1")
        return out;
    uint32_t n = u32(b, idx + 4) / 16;
    for (uint32_t i = 0; i < n; i++) {
        size_t e = idx + 8 + 16 * i;
        out.push_back({fourcc(b, e), u32(b, e + 4), u32(b, e + 8), u32(b, e + 12)});
    }
    return out;
}

} // namespace

TEST(AviRecover, ClosedFileIsReportedAndLeftAlone)
{
    Fixture f(syntheticChunks(40));
    writeFile(f.path, f.closed);
    std::string out;
    EXPECT_EQ(f.repair(&out), 0);
    EXPECT_EQ(readFile(f.path), f.closed);
    EXPECT_NE(out.find("=======================\n     AVIMAINHEADER     \n=======================\n"
                       "msecPerFrame : 33367\nmaxBytePerSec: 0\nflags        : 110\n"
                       "totFrames    : 40\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("streams      : 3\n"), std::string::npos);
    EXPECT_NE(out.find("length       : 0\n\n\n"), std::string::npos);
    EXPECT_NE(out.find("===========================\n      AVISTREAMHEADER      \n"
                       "===========================\nfccType\t\t: vids\nfccHandler\t: H264\n"),
              std::string::npos);
    EXPECT_NE(out.find("fccType\t\t: auds\nfccHandler\t: 1\n"), std::string::npos);
    EXPECT_NE(out.find("Length\t\t: 40\n"), std::string::npos);
    EXPECT_NE(out.find("rcFrmae[0]\t: 0\nrcFrame[1]\t: 0\nrcFrame[2]\t: 1920\nrcFrame[3]\t: 1080\n\n\n"),
              std::string::npos);
    EXPECT_NE(out.find("     AVISTREAMFORMAT\t   \n===========================\nSize\t:40\n"
                       "Width\t:1920\nHeight\t:1080\nPlans\t:1\nbitCnt\t:24\nCompress:H264\n"),
              std::string::npos);
    EXPECT_NE(out.find("formTag         : 7\nChannels        : 1\nSamplePerSec    : 16000\n"
                       "AvgBytesPerSec  : 16000\nBlockAlign      : 1\nBitsPerSample   : 8\n"
                       "cbSize          : 0\n\n\n"),
              std::string::npos);
    EXPECT_EQ(out.find("recoveryStart() run"), std::string::npos);
}

// A cut exactly at a chunk boundary repairs into the file a normal close of those chunks writes.
class AviRecoverBoundary : public testing::TestWithParam<int> {};

TEST_P(AviRecoverBoundary, RepairEqualsNormalClose)
{
    Fixture f(syntheticChunks(70));
    auto offs = chunkOffsets(f.closed);
    size_t n = GetParam() < 0 ? offs.size() : (size_t)GetParam();
    size_t cut = n < offs.size() ? offs[n] : offs.back() + 8 + u32(f.closed, offs.back() + 4);
    writeFile(f.path, powerCut(f.closed, f.atOpen, cut));
    std::string out;
    ASSERT_EQ(f.repair(&out), 0) << LIBAVI_recoverGetErrMsg();
    EXPECT_TRUE(std::regex_search(out, std::regex("\\[libavi\\] - [A-Za-z]+\\([0-9]+\\):recoveryStart\\(\\) run!! \n")));
    EXPECT_NE(out.find("recovery Done!! \n"), std::string::npos);
    EXPECT_NE(out.find("Header info modify [2]!! \n"), std::string::npos);
    EXPECT_NE(out.find("Header info modified!! \n"), std::string::npos);
    Bytes repaired = readFile(f.path);
    EXPECT_TRUE(repaired == f.closedOf(n)) << "cut after " << n << " chunks";
    // A second repair changes nothing.
    EXPECT_EQ(f.repair(), 0);
    EXPECT_EQ(readFile(f.path), repaired);
}

INSTANTIATE_TEST_SUITE_P(Cuts, AviRecoverBoundary, testing::Values(1, 2, 5, 31, 50, -1));

TEST(AviRecover, CutRightAfterMoviHeaderIsEmpty)
{
    Fixture f(syntheticChunks(5));
    writeFile(f.path, powerCut(f.closed, f.atOpen, moviOffset(f.closed) + 12));
    EXPECT_EQ(f.repair(), -1);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Empty recorded data.\n");
    EXPECT_EQ(readFile(f.path), f.atOpen);
}

TEST(AviRecover, CutInsideTheFirstChunkHeaderIsEmpty)
{
    Fixture f(syntheticChunks(5));
    writeFile(f.path, powerCut(f.closed, f.atOpen, moviOffset(f.closed) + 12 + 5));
    EXPECT_EQ(f.repair(), -1);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Empty recorded data.\n");
}

TEST(AviRecover, HundredthChunkCutShortIsIndexedWithItsFullSize)
{
    std::vector<Chunk> chunks = syntheticChunks(80);
    ASSERT_GE(chunks.size(), 101u);
    if (chunks[99].dataType != DATA_TYPE_VIDEO_MAIN)
        std::swap(chunks[99], chunks[100]); // audio never comes twice in a row
    chunks[99].data.resize(40000, 0x5A);
    Fixture f(chunks);
    ASSERT_EQ(f.chunks[99].dataType, DATA_TYPE_VIDEO_MAIN);
    auto offs = chunkOffsets(f.closed);
    size_t cut = offs[99] + 8 + 1000;
    writeFile(f.path, powerCut(f.closed, f.atOpen, cut));
    ASSERT_EQ(f.repair(), 0) << LIBAVI_recoverGetErrMsg();
    Bytes r = readFile(f.path);
    auto idx = readIndex(r);
    ASSERT_EQ(idx.size(), 100u);
    EXPECT_EQ(idx[99].length, 40000u);
    EXPECT_EQ(idx[99].id, "00dc");
    EXPECT_GT(r.size(), offs[99] + 8 + 40000);
    EXPECT_EQ(u32(r, 4), r.size() - 8);
    // the chunk's missing tail reads as zeros
    EXPECT_EQ(r[offs[99] + 8 + 1000 + 100], 0);
    EXPECT_EQ(r[offs[99] + 8 + 999], f.closed[offs[99] + 8 + 999]);
}

TEST(AviRecover, FlagsComeFromTheDataAndStreamType)
{
    Fixture f(syntheticChunks(45));
    writeFile(f.path, powerCut(f.closed, f.atOpen, f.closed.size() - 8 - 16 * f.chunks.size()));
    ASSERT_EQ(f.repair(), 0);
    auto idx = readIndex(readFile(f.path));
    ASSERT_EQ(idx.size(), f.chunks.size());
    int keys = 0;
    for (size_t i = 0; i < idx.size(); i++) {
        const Chunk &c = f.chunks[i];
        if (c.dataType == DATA_TYPE_AUDIO) {
            EXPECT_EQ(idx[i].id, "01wb");
            EXPECT_EQ(idx[i].flags, 1u) << i;
        } else {
            EXPECT_EQ(idx[i].flags, c.data[4] == 0x27 ? 0x10u : 0u) << i;
            keys += idx[i].flags == 0x10;
        }
        EXPECT_EQ(idx[i].length, c.data.size());
    }
    EXPECT_EQ(keys, 2);
}

TEST(AviRecover, TextStreamHeaderIsRewrittenWithNoChunks)
{
    Fixture f(syntheticChunks(10));
    auto offs = chunkOffsets(f.closed);
    writeFile(f.path, powerCut(f.closed, f.atOpen, offs[6]));
    ASSERT_EQ(f.repair(), 0);
    Bytes r = readFile(f.path);
    size_t text = 88 + 124 + 102;
    EXPECT_EQ(fourcc(r, text + 20), "txts");
    EXPECT_EQ(u32(r, text + 20 + 32), 0u);
    EXPECT_EQ(u32(r, 88 + 20 + 32), 5u); // video: 5 of the 6 chunks
}

// Cuts that do not fall on a boundary: the index holds the complete chunks (and a cut-short
// last one whose header and, for video, first 5 bytes made it), and a second repair changes nothing.
struct InsideCut {
    const char *what;
    size_t chunk;   // the chunk the cut falls in
    size_t into;    // bytes of it that made it
    size_t indexed; // chunks in the repaired index
};

class AviRecoverInside : public testing::TestWithParam<InsideCut> {};

TEST_P(AviRecoverInside, IndexesWhatMadeIt)
{
    const InsideCut &c = GetParam();
    Fixture f(syntheticChunks(40));
    auto offs = chunkOffsets(f.closed);
    writeFile(f.path, powerCut(f.closed, f.atOpen, offs[c.chunk] + c.into));
    ASSERT_EQ(f.repair(), 0) << c.what << ": " << LIBAVI_recoverGetErrMsg();
    Bytes r = readFile(f.path);
    auto idx = readIndex(r);
    ASSERT_EQ(idx.size(), c.indexed) << c.what;
    for (size_t i = 0; i < idx.size(); i++)
        EXPECT_EQ(idx[i].offset, offs[i] - moviOffset(r) - 8) << c.what << " " << i;
    EXPECT_EQ(u32(r, 4), r.size() - 8);
    EXPECT_EQ(f.repair(), 0);
    EXPECT_EQ(readFile(f.path), r);
}

// Chunk 4 is audio (2000 bytes), chunk 3 video; the first chunk is video.
INSTANTIATE_TEST_SUITE_P(
    Cuts, AviRecoverInside,
    testing::Values(InsideCut{"inside a chunk header", 3, 7, 3},
                    InsideCut{"in the first 5 bytes of a video frame", 3, 8 + 4, 3},
                    InsideCut{"just past the first 5 bytes", 3, 8 + 5, 4},
                    InsideCut{"inside video data", 3, 8 + 100, 4},
                    InsideCut{"inside audio data", 4, 8 + 1, 5},
                    InsideCut{"inside audio data, later", 4, 8 + 1999, 5}));

TEST(AviRecover, InterruptedCloseIsCountedAfresh)
{
    Fixture f(syntheticChunks(50));
    // The close had rewritten the stream headers and maybe written idx1, but not the RIFF size.
    size_t movi = moviOffset(f.closed);
    size_t idx1 = movi + 8 + u32(f.closed, movi + 4);
    for (size_t cut : {idx1, idx1 + 8, idx1 + 8 + 16 * 7 + 3, f.closed.size()}) {
        Bytes b(f.closed.begin(), f.closed.begin() + (long)cut);
        putU32(b, 4, 0);
        writeFile(f.path, b);
        ASSERT_EQ(f.repair(), 0) << cut;
        EXPECT_TRUE(readFile(f.path) == f.closed) << "cut at " << cut;
    }
    // Only the movi size missing (stream headers final already).
    Bytes b(f.closed.begin(), f.closed.begin() + (long)idx1);
    putU32(b, movi + 4, 0);
    writeFile(f.path, b);
    ASSERT_EQ(f.repair(), 0);
    EXPECT_TRUE(readFile(f.path) == f.closed);
}

TEST(AviRecover, UnknownChunkEndsTheScan)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[9]);
    Bytes junk = {'9', '9', 'z', 'z', 4, 0, 0, 0, 1, 2, 3, 4};
    b.insert(b.end(), junk.begin(), junk.end());
    b.insert(b.end(), f.closed.begin() + (long)offs[9], f.closed.begin() + (long)offs[12]);
    writeFile(f.path, b);
    ASSERT_EQ(f.repair(), 0);
    EXPECT_EQ(readIndex(readFile(f.path)).size(), 9u);
}

TEST(AviRecover, ZeroSizedChunkHeaderIsPassedOver)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[9]);
    Bytes empty = {'0', '0', 'd', 'c', 0, 0, 0, 0};
    b.insert(b.end(), empty.begin(), empty.end());
    b.insert(b.end(), f.closed.begin() + (long)offs[9], f.closed.begin() + (long)offs[12]);
    writeFile(f.path, b);
    ASSERT_EQ(f.repair(), 0);
    auto idx = readIndex(readFile(f.path));
    ASSERT_EQ(idx.size(), 12u);
    EXPECT_EQ(idx[9].offset, offs[9] + 8 - moviOffset(f.closed) - 8);
}

TEST(AviRecover, ImplausibleSizeEndsTheScanWithoutGrowingTheFile)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[9]);
    Bytes torn = {'0', '0', 'd', 'c', 0xF0, 0xFF, 0xFF, 0x7F, 0, 0, 0, 1, 0x21, 7, 7, 7};
    b.insert(b.end(), torn.begin(), torn.end());
    writeFile(f.path, b);
    ASSERT_EQ(f.repair(), 0);
    Bytes r = readFile(f.path);
    EXPECT_EQ(readIndex(r).size(), 9u);
    EXPECT_LT(r.size(), b.size() + 8 + 16 * 9);
}

TEST(AviRecover, MissingFileLeavesMessageAlone)
{
    Fixture f(syntheticChunks(2));
    writeFile(f.path, Bytes(10, 0));
    ASSERT_EQ(f.repair(), -1);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Not enough header information.\n");
    std::string out;
    CaptureStdout();
    EXPECT_EQ(LIBAVI_recoverFile((char *)f.dir.file("none.avi").c_str()), -1);
    out = GetCapturedStdout();
    EXPECT_NE(out.find("fopen() Fail!! \n"), std::string::npos);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Not enough header information.\n");
}

// Malformed headers, each made from a good cut file by one change.
struct BadHeader {
    const char *what;
    size_t offset; // from the start of the file; the streams are video at 88, audio at 212, text at 314
    uint32_t value;
    const char *errMsg;
};

class AviRecoverBadHeader : public testing::TestWithParam<BadHeader> {};

TEST_P(AviRecoverBadHeader, FailsWithText)
{
    const BadHeader &c = GetParam();
    Fixture f(syntheticChunks(8));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[5]);
    putU32(b, c.offset, c.value);
    writeFile(f.path, b);
    EXPECT_EQ(f.repair(), -1) << c.what;
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), c.errMsg) << c.what;
    EXPECT_EQ(readFile(f.path), b) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, AviRecoverBadHeader,
    testing::Values(
        BadHeader{"RIFF id", 0, 0x46464952 + 1, "Not enough header information.\n"},
        BadHeader{"form type", 8, AVI_FOURCC('W', 'A', 'V', 'E'), "Not enough header information.\n"},
        BadHeader{"hdrl type", 20, AVI_FOURCC('h', 'd', 'r', 'x'), "Not enough header information.\n"},
        BadHeader{"avih id", 24, AVI_FOURCC('a', 'v', 'i', 'x'), "Not enough header information.\n"},
        BadHeader{"no streams", 32 + 24, 0, "Empty stream data.\n"},
        BadHeader{"five streams", 32 + 24, 5, "Invalid stream count[5].\n"},
        BadHeader{"strl size 0", 88 + 4, 0, "Invalid strl header size[0] ckType[0x6c727473].\n"},
        BadHeader{"strl type", 88 + 8, AVI_FOURCC('s', 't', 'r', 'x'),
                  "Invalid strl header size[116] ckType[0x78727473]."},
        BadHeader{"strl size off", 212 + 4, 95, "Invalid strl header size[95] ckType[0x6c727473].\n"},
        BadHeader{"strh id", 88 + 12, AVI_FOURCC('s', 't', 'r', 'x'), "Invalid strh header size[56] ckID[0x78727473].\n"},
        BadHeader{"strh size", 212 + 16, 0, "Invalid strh header size[0] ckID[0x68727473].\n"},
        BadHeader{"strf id", 88 + 76, AVI_FOURCC('s', 't', 'r', 'x'), "Invalid strf header ckID[0x78727473].\n"},
        BadHeader{"strf size 0", 88 + 80, 0, "Invalid strf header Size[0].\n"},
        BadHeader{"stream type", 212 + 20, AVI_FOURCC('m', 'i', 'd', 's'), "Invalid stream type[0x7364696d].\n"},
        BadHeader{"text format", 314 + 80, 4, "Invalid strf header Size[4].\n"},
        BadHeader{"movi id", 398 + 8, AVI_FOURCC('r', 'e', 'c', ' '), "Invalid movi header ckID[0x5453494c].\n"}));

TEST(AviRecover, LongMessageIsCutTo49Characters)
{
    Fixture f(syntheticChunks(8));
    Bytes b = powerCut(f.closed, f.atOpen, chunkOffsets(f.closed)[3]);
    putU32(b, 88 + 4, 4000000000u);
    writeFile(f.path, b);
    EXPECT_EQ(f.repair(), -1);
    EXPECT_EQ(strlen(LIBAVI_recoverGetErrMsg()), 49u);
    // Sizes print as the 32-bit board prints them.
    EXPECT_EQ(std::string(LIBAVI_recoverGetErrMsg()), std::string("Invalid strl header size[-294967296] ckType[0x6c7"));
}

TEST(AviRecover, InspectCountsWithoutWriting)
{
    Fixture f(syntheticChunks(40));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[20] + 10);
    writeFile(f.path, b);
    AVIRC_INFO info;
    CaptureStdout();
    ASSERT_EQ(AVIrcInspect(f.path.c_str(), &info), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(readFile(f.path), b);
    EXPECT_TRUE(info.needsRepair);
    EXPECT_EQ(info.streams, 3u);
    size_t video = 0, audio = 0;
    for (size_t i = 0; i < 20; i++)
        (f.chunks[i].dataType == DATA_TYPE_AUDIO ? audio : video)++;
    // The cut-short chunk 20 counts only when it is audio: 2 bytes cannot show a video frame type.
    if (f.chunks[20].dataType == DATA_TYPE_AUDIO)
        audio++;
    EXPECT_EQ(info.chunks[0], video);
    EXPECT_EQ(info.chunks[1], audio);
    EXPECT_EQ(info.keyFrames[0], 1u);
    EXPECT_EQ(info.strh[0].dwLength, 0u);

    writeFile(f.path, f.closed);
    ASSERT_EQ(AVIrcInspect(f.path.c_str(), &info), 0);
    EXPECT_FALSE(info.needsRepair);
    EXPECT_EQ(info.chunks[0], 40u);
    EXPECT_EQ(info.strh[0].dwLength, 40u);
}

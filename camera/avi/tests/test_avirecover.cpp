#include "avi/avimem.h"
#include "avi/avirecover.h"
#include "avi/udavi.h"
#include "avi_test_util.h"
#include "testsupport/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace avitest;

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
        auto repaired = printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); });
        if (out)
            *out = repaired.out;
        return repaired.value;
    }
    // Writes `b` and repairs it; the repaired file, or empty when the repair failed.
    Bytes repaired(const Bytes &b)
    {
        writeFile(path, b);
        return repair() == 0 ? readFile(path) : Bytes();
    }
};

struct Walked {
    std::string id;
    size_t pos;
    uint32_t size;
};

// The chunks of a complete file's movi list as a reader that goes through them in order meets
// them, up to idx1; stops at the first header that is not a chunk of this layout.
std::vector<Walked> walkInOrder(const Bytes &b, bool *clean)
{
    std::vector<Walked> out;
    size_t movi = moviOffset(b), end = movi + 8 + u32(b, movi + 4), pos = movi + 12;
    *clean = true;
    while (pos + 8 <= end) {
        std::string id = fourcc(b, pos);
        uint32_t size = u32(b, pos + 4);
        bool known = id == "JUNK" || id == std::string(4, '\0') || id == "00dc" || id == "01wb";
        if (id == "idx1")
            break;
        if (!known || (id[0] == 0 && size != 0)) {
            *clean = false;
            break;
        }
        out.push_back({id, pos, size});
        pos += 8 + size;
    }
    return out;
}

// The file as a repair leaves it when the power fails right after it covered the damage with
// JUNK: the damaged file with the repaired bytes of the movi data.
Bytes junkOnly(const Bytes &damaged, const Bytes &repaired)
{
    Bytes b = damaged;
    size_t movi = moviOffset(repaired), idx1 = movi + 8 + u32(repaired, movi + 4);
    for (size_t i = movi + 12; i < std::min(damaged.size(), idx1); i++)
        b[i] = repaired[i];
    return b;
}

// ... when it fails after everything but the head (RIFF size still 0), before or after the file
// was cut after its index.
Bytes allButHead(const Bytes &damaged, const Bytes &repaired, bool cut)
{
    Bytes b = repaired;
    if (!cut && damaged.size() > repaired.size())
        b.insert(b.end(), damaged.begin() + (long)repaired.size(), damaged.end());
    std::copy(damaged.begin(), damaged.begin() + 88, b.begin());
    return b;
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
    EXPECT_NE(
        out.find("rcFrmae[0]\t: 0\nrcFrame[1]\t: 0\nrcFrame[2]\t: 1920\nrcFrame[3]\t: 1080\n\n\n"),
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
class AviRecoverBoundary : public testing::TestWithParam<int>
{};

TEST_P(AviRecoverBoundary, RepairEqualsNormalClose)
{
    Fixture f(syntheticChunks(70));
    auto offs = chunkOffsets(f.closed);
    size_t n = GetParam() < 0 ? offs.size() : (size_t)GetParam();
    size_t cut = n < offs.size() ? offs[n] : offs.back() + 8 + u32(f.closed, offs.back() + 4);
    writeFile(f.path, powerCut(f.closed, f.atOpen, cut));
    std::string out;
    ASSERT_EQ(f.repair(&out), 0) << LIBAVI_recoverGetErrMsg();
    EXPECT_TRUE(std::regex_search(
        out, std::regex("\\[libavi\\] - [A-Za-z]+\\([0-9]+\\):recoveryStart\\(\\) run!! \n")));
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

class AviRecoverInside : public testing::TestWithParam<InsideCut>
{};

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
INSTANTIATE_TEST_SUITE_P(Cuts, AviRecoverInside,
                         testing::Values(InsideCut{"inside a chunk header", 3, 7, 3},
                                         InsideCut{"in the first 5 bytes of a video frame", 3,
                                                   8 + 4, 3},
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

TEST(AviRecover, UnknownChunkIsCoveredAndPassedOver)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[9]);
    Bytes junk = {'9', '9', 'z', 'z', 4, 0, 0, 0, 1, 2, 3, 4};
    b.insert(b.end(), junk.begin(), junk.end());
    b.insert(b.end(), f.closed.begin() + (long)offs[9], f.closed.begin() + (long)offs[12]);
    writeFile(f.path, b);
    std::string out;
    ASSERT_EQ(f.repair(&out), 0);
    Bytes r = readFile(f.path);
    EXPECT_EQ(completeFileFault(r), "");
    auto idx = readIndex(r);
    ASSERT_EQ(idx.size(), 12u);
    for (size_t i = 9; i < 12; i++)
        EXPECT_EQ(idx[i].offset, offs[i] + 12 - moviOffset(r) - 8) << i;
    // The 12 bytes are a JUNK chunk now, for readers that go through the chunks in order.
    EXPECT_EQ(fourcc(r, offs[9]), "JUNK");
    EXPECT_EQ(u32(r, offs[9] + 4), 4u);
    EXPECT_NE(
        out.find("Damaged data at offset[" + std::to_string(offs[9]) + "]: 12 bytes skipped\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("recovery Done!! \n[libavi] - "), std::string::npos) << out;
    EXPECT_NE(out.find("Damaged spans skipped: 1, 12 bytes\n"), std::string::npos) << out;
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

TEST(AviRecover, DamageWithNothingAfterItEndsTheScanAndIsCutOff)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[9]);
    Bytes torn = {'0', '0', 'd', 'c', 0xF0, 0xFF, 0xFF, 0x7F, 0, 0, 0, 1, 0x21, 7, 7, 7};
    b.insert(b.end(), torn.begin(), torn.end());
    b.insert(b.end(), 300, 0xEE); // the rest of the cluster
    writeFile(f.path, b);
    std::string out;
    ASSERT_EQ(f.repair(&out), 0);
    Bytes r = readFile(f.path);
    EXPECT_EQ(readIndex(r).size(), 9u);
    // The file ends after its index, as the close of those 9 chunks leaves it.
    EXPECT_TRUE(r == f.closedOf(9));
    EXPECT_NE(out.find("Last read ckSize(0x7ffffff0) ckID[0x63643030] \n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Damaged spans skipped"), std::string::npos) << out;
}

TEST(AviRecover, MissingFileLeavesMessageAlone)
{
    Fixture f(syntheticChunks(2));
    writeFile(f.path, Bytes(10, 0));
    ASSERT_EQ(f.repair(), -1);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Not enough header information.\n");
    auto repaired =
        printing([&] { return LIBAVI_recoverFile((char *)f.dir.file("none.avi").c_str()); });
    EXPECT_EQ(repaired.value, -1);
    EXPECT_NE(repaired.out.find("fopen() Fail!! \n"), std::string::npos);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Not enough header information.\n");
}

// Malformed headers, each made from a good cut file by one change.
struct BadHeader {
    const char *what;
    size_t
        offset; // from the start of the file; the streams are video at 88, audio at 212, text at 314
    uint32_t value;
    const char *errMsg;
};

class AviRecoverBadHeader : public testing::TestWithParam<BadHeader>
{};

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
        BadHeader{"form type", 8, AVI_FOURCC('W', 'A', 'V', 'E'),
                  "Not enough header information.\n"},
        BadHeader{"hdrl type", 20, AVI_FOURCC('h', 'd', 'r', 'x'),
                  "Not enough header information.\n"},
        BadHeader{"avih id", 24, AVI_FOURCC('a', 'v', 'i', 'x'),
                  "Not enough header information.\n"},
        BadHeader{"no streams", 32 + 24, 0, "Empty stream data.\n"},
        BadHeader{"five streams", 32 + 24, 5, "Invalid stream count[5].\n"},
        BadHeader{"strl size 0", 88 + 4, 0, "Invalid strl header size[0] ckType[0x6c727473].\n"},
        BadHeader{"strl type", 88 + 8, AVI_FOURCC('s', 't', 'r', 'x'),
                  "Invalid strl header size[116] ckType[0x78727473]."},
        BadHeader{"strl size off", 212 + 4, 95,
                  "Invalid strl header size[95] ckType[0x6c727473].\n"},
        BadHeader{"strh id", 88 + 12, AVI_FOURCC('s', 't', 'r', 'x'),
                  "Invalid strh header size[56] ckID[0x78727473].\n"},
        BadHeader{"strh size", 212 + 16, 0, "Invalid strh header size[0] ckID[0x68727473].\n"},
        BadHeader{"strf id", 88 + 76, AVI_FOURCC('s', 't', 'r', 'x'),
                  "Invalid strf header ckID[0x78727473].\n"},
        BadHeader{"strf size 0", 88 + 80, 0, "Invalid strf header Size[0].\n"},
        BadHeader{"stream type", 212 + 20, AVI_FOURCC('m', 'i', 'd', 's'),
                  "Invalid stream type[0x7364696d].\n"},
        BadHeader{"text format", 314 + 80, 4, "Invalid strf header Size[4].\n"},
        BadHeader{"movi id", 398 + 8, AVI_FOURCC('r', 'e', 'c', ' '),
                  "Invalid movi header ckID[0x5453494c].\n"}));

TEST(AviRecover, LongMessageIsCutTo49Characters)
{
    Fixture f(syntheticChunks(8));
    Bytes b = powerCut(f.closed, f.atOpen, chunkOffsets(f.closed)[3]);
    putU32(b, 88 + 4, 4000000000u);
    writeFile(f.path, b);
    EXPECT_EQ(f.repair(), -1);
    EXPECT_EQ(strlen(LIBAVI_recoverGetErrMsg()), 49u);
    // Sizes print as the 32-bit board prints them.
    EXPECT_EQ(std::string(LIBAVI_recoverGetErrMsg()),
              std::string("Invalid strl header size[-294967296] ckType[0x6c7"));
}

TEST(AviRecover, InspectCountsWithoutWriting)
{
    Fixture f(syntheticChunks(40));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[20] + 10);
    writeFile(f.path, b);
    AVIRC_INFO info;
    auto inspected = printing([&] { return AVIrcInspect(f.path.c_str(), &info); });
    ASSERT_EQ(inspected.value, 0);
    EXPECT_EQ(inspected.out, "");
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

// Damage to a recording cut short by a power loss, as a card reader may show it. Each case
// damages the file (whose chunk headers stand at `offs`; a case that inserts bytes moves them)
// and returns the damaged byte range. Every chunk whose header lies outside that range must be
// recovered as it stands on the card; the chunks whose header it hit are lost.
struct Damage {
    const char *what;
    std::pair<size_t, size_t> (*apply)(Bytes &b, std::vector<size_t> &offs);
    bool shortSpan; // the damage is too short to hold a JUNK header
};

void PrintTo(const Damage &d, std::ostream *os)
{
    *os << d.what;
}

void fillRandom(Bytes &b, size_t from, size_t to, unsigned seed)
{
    std::mt19937 rng(seed);
    for (size_t i = from; i < to; i++)
        b[i] = (uint8_t)rng();
}

class AviRecoverDamage : public testing::TestWithParam<Damage>
{};

TEST_P(AviRecoverDamage, RecoversEveryChunkOutsideTheDamage)
{
    const Damage &c = GetParam();
    Fixture f(syntheticChunks(60));
    auto offs = chunkOffsets(f.closed);
    ASSERT_EQ(f.chunks[20].dataType, DATA_TYPE_VIDEO_MAIN);
    // Cut inside the last chunk, as the power loss left it.
    Bytes b = powerCut(f.closed, f.atOpen, offs.back() + 8 + 10);
    const auto range = c.apply(b, offs);
    writeFile(f.path, b);
    std::string out;
    ASSERT_EQ(f.repair(&out), 0) << c.what << ": " << LIBAVI_recoverGetErrMsg();
    Bytes r = readFile(f.path);
    EXPECT_EQ(completeFileFault(r), "") << c.what;

    std::vector<size_t> kept;
    for (size_t j = 0; j < offs.size(); j++)
        if (offs[j] + 8 <= range.first || offs[j] >= range.second)
            kept.push_back(j);
    if (!c.shortSpan) {
        EXPECT_LT(kept.size(), offs.size()) << c.what << ": the damage hits no chunk header";
    }
    auto idx = readIndex(r);
    ASSERT_EQ(idx.size(), kept.size()) << c.what << "\n" << out;
    const size_t movi = moviOffset(r);
    for (size_t i = 0; i < kept.size(); i++) {
        const size_t at = offs[kept[i]];
        EXPECT_EQ(idx[i].offset, at - movi - 8) << c.what << " chunk " << kept[i];
        EXPECT_EQ(idx[i].length, u32(b, at + 4)) << c.what << " chunk " << kept[i];
        EXPECT_EQ(idx[i].id, fourcc(b, at)) << c.what << " chunk " << kept[i];
        // What stands on the card, damaged or not, is kept as it is.
        const size_t n = std::min<size_t>(idx[i].length, b.size() - at - 8);
        EXPECT_TRUE(std::equal(b.begin() + (long)at + 8, b.begin() + (long)(at + 8 + n),
                               r.begin() + (long)at + 8))
            << c.what << " chunk " << kept[i];
    }
    EXPECT_NE(out.find("Damaged spans skipped: 1, "), std::string::npos) << c.what << "\n" << out;

    bool clean = false;
    std::vector<Walked> walked = walkInOrder(r, &clean);
    if (c.shortSpan) {
        EXPECT_FALSE(clean) << c.what;
        EXPECT_TRUE(std::equal(b.begin() + (long)range.first, b.begin() + (long)range.second,
                               r.begin() + (long)range.first))
            << c.what << ": nothing to write over";
    } else {
        // Readers that go through the chunks in order meet the indexed chunks, empty chunk headers
        // and the JUNK over the damage, nothing else.
        EXPECT_TRUE(clean) << c.what;
        size_t chunks = 0, junk = 0;
        for (const Walked &w : walked) {
            if (w.id == "JUNK") {
                junk++;
            } else if (w.size != 0 && chunks < idx.size()) {
                EXPECT_EQ(w.pos, offs[kept[chunks++]]) << c.what;
            }
        }
        EXPECT_EQ(chunks, idx.size()) << c.what;
        EXPECT_EQ(junk, 1u) << c.what;
    }

    EXPECT_EQ(f.repair(), 0);
    EXPECT_TRUE(readFile(f.path) == r) << c.what << ": a second repair changed the file";
    // A look at the repaired file finds the damage covered.
    AVIRC_INFO info;
    ASSERT_EQ(AVIrcInspect(f.path.c_str(), &info), 0);
    EXPECT_EQ(info.damagedSpans, c.shortSpan ? 1u : 0u) << c.what;
    // A repair cut short by a power loss and run again gives the same file.
    writeFile(f.path, junkOnly(b, r));
    ASSERT_EQ(f.repair(&out), 0) << c.what;
    EXPECT_TRUE(readFile(f.path) == r) << c.what << ": after the JUNK was written";
    EXPECT_EQ(out.find("Damaged spans skipped") == std::string::npos, !c.shortSpan) << c.what;
    EXPECT_TRUE(f.repaired(allButHead(b, r, false)) == r) << c.what << ": before the file was cut";
    EXPECT_TRUE(f.repaired(allButHead(b, r, true)) == r) << c.what << ": before the head went out";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AviRecoverDamage,
    testing::Values(Damage{"corrupted identifier",
                           [](Bytes &b, std::vector<size_t> &o) {
                               b[o[20]] = 'X';
                               return std::make_pair(o[20], o[20] + 1);
                           },
                           false},
                    Damage{"implausible size",
                           [](Bytes &b, std::vector<size_t> &o) {
                               b[o[20] + 7] |= 0x40;
                               return std::make_pair(o[20] + 7, o[20] + 8);
                           },
                           false},
                    Damage{"run of zeros over two chunk headers",
                           [](Bytes &b, std::vector<size_t> &o) {
                               const size_t from = o[20] + 8 + 100, to = o[22] + 8 + 50;
                               std::fill(b.begin() + (long)from, b.begin() + (long)to, 0);
                               return std::make_pair(from, to);
                           },
                           false},
                    Damage{"random bytes over a chunk boundary",
                           [](Bytes &b, std::vector<size_t> &o) {
                               const size_t from = o[20] + 8 + 150, to = o[21] + 8 + 40;
                               fillRandom(b, from, to, 1);
                               return std::make_pair(from, to);
                           },
                           false},
                    Damage{"torn header, then the rest of a 4 KiB cluster",
                           [](Bytes &b, std::vector<size_t> &o) {
                               const size_t from = o[20] + 3, to = (from / 4096 + 1) * 4096;
                               fillRandom(b, from, to, 2);
                               return std::make_pair(from, to);
                           },
                           false},
                    Damage{"a header in the damage that the chunk after it does not confirm",
                           [](Bytes &b, std::vector<size_t> &o) {
                               const size_t from = o[20] + 3, to = o[21] + 8 + 20;
                               fillRandom(b, from, to, 3);
                               const uint8_t fake[8] = {'0', '0', 'd', 'c', 64, 0, 0, 0};
                               std::copy(fake, fake + 8, b.begin() + (long)o[20] + 40);
                               return std::make_pair(from, to);
                           },
                           false},
                    Damage{"three stray bytes between two chunks",
                           [](Bytes &b, std::vector<size_t> &o) {
                               const size_t at = o[20];
                               b.insert(b.begin() + (long)at, {'a', 'b', 'c'});
                               for (size_t &x : o)
                                   x += x >= at ? 3 : 0;
                               return std::make_pair(at, at + 3);
                           },
                           true}),
    [](const testing::TestParamInfo<Damage> &i) { return "case" + std::to_string(i.index); });

// The search for the next chunk header goes as far as the largest chunk this system writes,
// with its header, and no further; past that the scan ends and the file ends after its index.
TEST(AviRecover, SearchReachesTheLargestChunkAndNoFurther)
{
    Fixture f(syntheticChunks(20));
    auto offs = chunkOffsets(f.closed);
    for (size_t gap : {(size_t)AVI_MAX_CHUNK_SIZE + 8, (size_t)AVI_MAX_CHUNK_SIZE + 9}) {
        Bytes b = powerCut(f.closed, f.atOpen, offs[10]);
        b.insert(b.end(), gap, 0xFF);
        b.insert(b.end(), f.closed.begin() + (long)offs[10], f.closed.begin() + (long)offs[16]);
        writeFile(f.path, b);
        std::string out;
        ASSERT_EQ(f.repair(&out), 0) << gap;
        Bytes r = readFile(f.path);
        EXPECT_EQ(completeFileFault(r), "") << gap;
        if (gap == AVI_MAX_CHUNK_SIZE + 8) {
            EXPECT_EQ(readIndex(r).size(), 16u);
            EXPECT_EQ(fourcc(r, offs[10]), "JUNK");
            EXPECT_EQ(u32(r, offs[10] + 4), gap - 8);
        } else {
            EXPECT_TRUE(r == f.closedOf(10)) << out;
        }
    }
}

// The idx1 of a close cut short before its head follows the movi data after the 0 to 3 bytes
// that round the movi size: it ends the scan, and the repair writes the file the close would have.
TEST(AviRecover, IndexAfterTheRoundingEndsTheScan)
{
    for (int frames = 20; frames < 24; frames++) {
        Fixture f(syntheticChunks(frames));
        auto offs = chunkOffsets(f.closed);
        const size_t end = offs.back() + 8 + u32(f.closed, offs.back() + 4);
        const size_t idx1 = moviOffset(f.closed) + 8 + u32(f.closed, moviOffset(f.closed) + 4);
        Bytes b = f.closed;
        putU32(b, 4, 0);
        std::string out;
        writeFile(f.path, b);
        ASSERT_EQ(f.repair(&out), 0);
        EXPECT_TRUE(readFile(f.path) == f.closed) << idx1 - end << " bytes of rounding";
        EXPECT_EQ(out.find("Damaged"), std::string::npos) << out;
    }
}

// A file that the 32-bit sizes of AVI 1.0 cannot describe is refused before anything is written.
class AviRecoverLarge : public testing::Test
{
protected:
    Fixture f{syntheticChunks(10)};
    struct stat st0 = {};
    Bytes head0;
    void snapshot()
    {
        // The file's blocks counted once the kernel has placed what was written, not while a
        // write-back that may come at any moment is still due.
        int fd = open(f.path.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(fsync(fd), 0);
        close(fd);
        ASSERT_EQ(stat(f.path.c_str(), &st0), 0);
        head0 = firstBytes(1 << 20);
    }
    Bytes firstBytes(size_t n)
    {
        Bytes b(n);
        FILE *fp = fopen(f.path.c_str(), "rb");
        b.resize(fread(b.data(), 1, n, fp));
        fclose(fp);
        return b;
    }
    void expectRefusedUntouched(const std::string &out)
    {
        EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "File too large to index (4 GiB or more).\n");
        EXPECT_EQ(out.find("Header info modify"), std::string::npos) << out;
        struct stat st = {};
        ASSERT_EQ(stat(f.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, st0.st_size);
        EXPECT_EQ(st.st_blocks, st0.st_blocks) << "something was written into the holes";
        EXPECT_TRUE(firstBytes(1 << 20) == head0);
    }
    void TearDown() override { unlink(f.path.c_str()); }
};

TEST_F(AviRecoverLarge, FileOf4GiBOrMoreIsRefused)
{
    writeFile(f.path, powerCut(f.closed, f.atOpen, chunkOffsets(f.closed)[8]));
    ASSERT_EQ(truncate(f.path.c_str(), (off_t)1 << 32), 0); // sparse: the rest reads as zeros
    snapshot();
    std::string out;
    EXPECT_EQ(f.repair(&out), -1);
    expectRefusedUntouched(out);
    AVIRC_INFO info;
    EXPECT_EQ(AVIrcInspect(f.path.c_str(), &info), -1);
    EXPECT_STREQ(AVIrcGetErrMsg(), "File too large to index (4 GiB or more).\n");
}

TEST_F(AviRecoverLarge, RepairThatWouldEndPast4GiBIsRefused)
{
    // Chunks of the largest size up to just below 4 GiB; only their headers take room on the
    // disk. The last one either ends the file, and the index would end past 4 GiB, or it is cut
    // short and its stated size runs past 4 GiB.
    for (bool cutShort : {false, true}) {
        SCOPED_TRACE(cutShort ? "last chunk cut short" : "the index");
        Bytes head = powerCut(f.closed, f.atOpen, moviOffset(f.closed) + 12);
        writeFile(f.path, head);
        const off_t length = ((off_t)1 << 32) - 1000;
        ASSERT_EQ(truncate(f.path.c_str(), length), 0);
        FILE *fp = fopen(f.path.c_str(), "r+b");
        ASSERT_NE(fp, nullptr);
        size_t chunks = 0;
        for (off_t pos = (off_t)head.size(); pos + 8 + 5 <= length; chunks++) {
            const off_t rest = length - pos - 8;
            const uint32_t size =
                rest > (off_t)AVI_MAX_CHUNK_SIZE || cutShort ? AVI_MAX_CHUNK_SIZE : (uint32_t)rest;
            const uint8_t ck[8] = {
                '0', '0', 'd', 'c', (uint8_t)size, (uint8_t)(size >> 8), (uint8_t)(size >> 16), 0};
            ASSERT_TRUE(fseeko(fp, pos, SEEK_SET) == 0 && fwrite(ck, 8, 1, fp) == 1);
            pos += 8 + size;
        }
        fclose(fp);
        ASSERT_GT(chunks, 4000u);
        snapshot();
        AVIRC_INFO info;
        if (cutShort) {
            EXPECT_EQ(AVIrcInspect(f.path.c_str(), &info), -1);
        } else {
            ASSERT_EQ(AVIrcInspect(f.path.c_str(), &info), 0); // it can be looked at
            EXPECT_EQ(info.chunks[0], chunks);
        }
        std::string out;
        EXPECT_EQ(f.repair(&out), -1);
        expectRefusedUntouched(out);
        unlink(f.path.c_str());
    }
}

// A rewrite that fails (here: the file may not grow, as on a full card) says why, and leaves the
// file as repairable as it was.
TEST(AviRecover, FailedRewriteSaysWhyAndLeavesTheFileRepairable)
{
    Fixture f(syntheticChunks(40));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs[30] + 8 + 100);
    b[offs[10]] = 'X'; // and damaged: the JUNK goes in before the index fails
    const Bytes reference = f.repaired(b);
    ASSERT_FALSE(reference.empty());

    writeFile(f.path, b);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = b.size();
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string out;
    const int rc = f.repair(&out);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(rc, -1);
    const size_t idx1 = moviOffset(reference) + 8 + u32(reference, moviOffset(reference) + 4);
    EXPECT_EQ(std::string(LIBAVI_recoverGetErrMsg()),
              "File write fail offset[" + std::to_string(idx1) + "].\n");
    EXPECT_NE(out.find("File write fail!! \n"), std::string::npos) << out;
    EXPECT_NE(out.find(strerror(EFBIG)), std::string::npos) << out;
    Bytes left = readFile(f.path);
    EXPECT_EQ(u32(left, 4), 0u) << "the file must still show that it needs a repair";
    EXPECT_EQ(f.repair(), 0) << LIBAVI_recoverGetErrMsg();
    EXPECT_TRUE(readFile(f.path) == reference);
}

// Every allocation of a repair may fail: the file is left as it was, and a failure of the index
// or of the list of damaged spans says so.
TEST(AviRecover, AllocationFailuresLeaveTheFileAlone)
{
    Fixture f(syntheticChunks(40));
    auto offs = chunkOffsets(f.closed);
    Bytes b = powerCut(f.closed, f.atOpen, offs.back());
    b[offs[10]] = 'X';
    const Bytes reference = f.repaired(b);
    ASSERT_FALSE(reference.empty());
    bool indexSaidSo = false;
    int n = 1;
    for (;; n++) {
        writeFile(f.path, b);
        avi_failAllocAfter(n);
        std::string out;
        const int rc = f.repair(&out);
        avi_failAllocAfter(0);
        if (rc == 0)
            break;
        EXPECT_TRUE(readFile(f.path) == b) << "allocation " << n;
        indexSaidSo |= strcmp(LIBAVI_recoverGetErrMsg(), "Not enough memory for the index.\n") == 0;
    }
    EXPECT_GE(n, 8);
    EXPECT_TRUE(indexSaidSo);
    EXPECT_TRUE(readFile(f.path) == reference);
}

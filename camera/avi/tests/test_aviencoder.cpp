#include "avi/aviencoder.h"
#include "avi/avimem.h"
#include "avi/blockbuffer.h"
#include "avi_test_util.h"
#include "testsupport/console.h"

#include <gtest/gtest.h>
#include <regex>
#include <string.h>

using namespace avitest;

namespace {

AVISTREAMHEADER videoHeader(uint16_t w, uint16_t h)
{
    AVISTREAMHEADER s = {};
    s.fccType = AVI_FOURCC('v', 'i', 'd', 's');
    s.fccHandler = AVI_FOURCC('H', '2', '6', '4');
    s.dwScale = 100;
    s.dwRate = 2997;
    s.dwQuality = 0xFFFFFFFFu;
    s.rcFrame = {0, 0, w, h};
    return s;
}

AVISTREAMHEADER otherHeader(const char *type)
{
    AVISTREAMHEADER s = {};
    s.fccType = AVI_FOURCC(type[0], type[1], type[2], type[3]);
    s.dwScale = 1;
    return s;
}

// One file with a 1920x1080 video stream (40-byte format) and a text stream, header written.
struct SmallFile {
    TempDir dir;
    std::string path = dir.file("a.avi");
    AVIFILE *f = nullptr;
    AVISTREAM *v = nullptr;
    AVISTREAM *t = nullptr;

    void open()
    {
        ASSERT_EQ(AVIFileOpen(&f, path.c_str()), 0);
        AVISTREAMHEADER vh = videoHeader(1920, 1080);
        ASSERT_EQ(AVIFileCreateStream(f, &v, &vh), 0);
        unsigned char fmt[40] = {40};
        ASSERT_EQ(AVIStreamSetFormat(v, 0, fmt, sizeof(fmt)), 0);
        AVISTREAMHEADER th = otherHeader("txts");
        ASSERT_EQ(AVIFileCreateStream(f, &t, &th), 0);
        ASSERT_EQ(AVIStreamSetFormat(t, 0, nullptr, 0), 0);
        AVIFileMainHeaderWrite(f);
        AVIFileStreamHeaderWrite(v);
        AVIFileStreamHeaderWrite(t);
        AVIFileMoviHeaderWrite(f);
    }
    Bytes close()
    {
        EXPECT_EQ(AVIStreamClose(v), 0);
        EXPECT_EQ(AVIStreamClose(t), 0);
        EXPECT_EQ(AVIFileClose(f), 0);
        return readFile(path);
    }
};

// 88 + 124 (video strl) + 8 + 84 (text strl)... as laid out: M = 88 + (8+116) + (8+76).
const size_t kMovi = 88 + 124 + 84;

} // namespace

TEST(AviEncoder, HeaderLayoutAtOpen)
{
    SmallFile s;
    s.open();
    Bytes b = readFile(s.path);
    ASSERT_EQ(b.size(), kMovi + 12);
    EXPECT_EQ(fourcc(b, 0), "RIFF");
    EXPECT_EQ(u32(b, 4), 0u);
    EXPECT_EQ(fourcc(b, 8), "AVI ");
    EXPECT_EQ(fourcc(b, 12), "LIST");
    EXPECT_EQ(u32(b, 16), 68u + 124 + 84);
    EXPECT_EQ(fourcc(b, 20), "hdrl");
    EXPECT_EQ(fourcc(b, 24), "avih");
    EXPECT_EQ(u32(b, 28), 56u);
    EXPECT_EQ(u32(b, 32), 33367u);      // dwMicroSecPerFrame
    EXPECT_EQ(u32(b, 32 + 12), 0x110u); // dwFlags
    EXPECT_EQ(u32(b, 32 + 24), 2u);     // dwStreams
    EXPECT_EQ(u32(b, 32 + 32), 1920u);
    EXPECT_EQ(u32(b, 32 + 36), 1080u);
    EXPECT_EQ(u32(b, 32 + 40), 100u);
    EXPECT_EQ(u32(b, 32 + 44), 2997u);
    EXPECT_EQ(fourcc(b, 88), "LIST");
    EXPECT_EQ(u32(b, 92), 116u);
    EXPECT_EQ(fourcc(b, 96), "strl");
    EXPECT_EQ(fourcc(b, 100), "strh");
    EXPECT_EQ(u32(b, 104), 56u);
    EXPECT_EQ(fourcc(b, 108), "vids");
    EXPECT_EQ(fourcc(b, 164), "strf");
    EXPECT_EQ(u32(b, 168), 40u);
    EXPECT_EQ(u32(b, 172), 40u); // the format record follows
    EXPECT_EQ(fourcc(b, 212), "LIST");
    EXPECT_EQ(u32(b, 216), 76u);
    EXPECT_EQ(fourcc(b, 212 + 20), "txts");
    EXPECT_EQ(fourcc(b, 212 + 76), "strf");
    EXPECT_EQ(u32(b, 212 + 80), 0u);
    EXPECT_EQ(fourcc(b, kMovi), "LIST");
    EXPECT_EQ(u32(b, kMovi + 4), 0u);
    EXPECT_EQ(fourcc(b, kMovi + 8), "movi");
    s.close();
}

TEST(AviEncoder, NoChunks)
{
    SmallFile s;
    s.open();
    Bytes b = s.close();
    EXPECT_EQ(u32(b, kMovi + 4), 4u);
    EXPECT_EQ(fourcc(b, kMovi + 12), "idx1");
    EXPECT_EQ(u32(b, kMovi + 16), 0u);
    EXPECT_EQ(u32(b, 4), kMovi + 12);
    EXPECT_EQ(b.size(), kMovi + 20);
}

TEST(AviEncoder, OddChunkHasNoPadByteAndMoviIsRounded)
{
    SmallFile s;
    s.open();
    const unsigned char data[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(AVIStreamWrite(s.v, 0, 1, data, 5, AVIIF_KEYFRAME), 0);
    EXPECT_EQ(s.f->movi_size, 13u);
    Bytes b = s.close();
    size_t c = kMovi + 12;
    EXPECT_EQ(fourcc(b, c), "00dc");
    EXPECT_EQ(u32(b, c + 4), 5u);
    EXPECT_EQ(b[c + 8 + 4], 5);
    EXPECT_EQ(u32(b, kMovi + 4), 20u);
    // three zero bytes between the chunk's last byte and idx1
    EXPECT_EQ(b[c + 13], 0);
    EXPECT_EQ(b[c + 14], 0);
    EXPECT_EQ(b[c + 15], 0);
    size_t idx = kMovi + 8 + 20;
    EXPECT_EQ(fourcc(b, idx), "idx1");
    EXPECT_EQ(u32(b, idx + 4), 16u);
    EXPECT_EQ(fourcc(b, idx + 8), "00dc");
    EXPECT_EQ(u32(b, idx + 12), 0x10u);
    EXPECT_EQ(u32(b, idx + 16), 4u);
    EXPECT_EQ(u32(b, idx + 20), 5u);
    EXPECT_EQ(u32(b, 4), b.size() - 8);
    EXPECT_EQ(b.size(), idx + 8 + 16);
}

TEST(AviEncoder, ConsecutiveChunksAreExactlyAdjacent)
{
    SmallFile s;
    s.open();
    const unsigned char a[3] = {0xA, 0xA, 0xA}, t[4] = {0xB, 0xB, 0xB, 0xB};
    AVIStreamWrite(s.v, 0, 1, a, 3, 0);
    AVIStreamWrite(s.t, 0, 1, t, 4, AVIIF_LIST);
    Bytes b = s.close();
    size_t c = kMovi + 12;
    EXPECT_EQ(fourcc(b, c + 11), "01tx");
    EXPECT_EQ(u32(b, c + 15), 4u);
    size_t idx = kMovi + 8 + u32(b, kMovi + 4);
    ASSERT_EQ(fourcc(b, idx), "idx1");
    EXPECT_EQ(u32(b, idx + 8 + 8), 4u);       // first offset
    EXPECT_EQ(u32(b, idx + 8 + 16 + 4), 1u);  // text flags
    EXPECT_EQ(u32(b, idx + 8 + 16 + 8), 15u); // second offset
    EXPECT_EQ(u32(b, idx + 8 + 16 + 12), 4u);
    // the text stream header counts its chunk
    EXPECT_EQ(u32(b, 212 + 20 + 32), 1u);
}

TEST(AviEncoder, VideoSuggestedBufferIsTenTimesLargestChunk)
{
    SmallFile s;
    s.open();
    Bytes big(50000, 0x42), small(1000, 0x43);
    AVIStreamWrite(s.v, 0, 1, small.data(), (int)small.size(), 0);
    AVIStreamWrite(s.v, 0, 1, big.data(), (int)big.size(), 0);
    AVIStreamWriteBuf(s.v, 0, 1, small.data(), (int)small.size(), 0);
    Bytes b = s.close();
    EXPECT_EQ(u32(b, 88 + 20 + 36), 500000u); // strh dwSuggestedBufferSize
    EXPECT_EQ(u32(b, 88 + 20 + 32), 3u);      // strh dwLength
    EXPECT_EQ(u32(b, 32 + 28), 500000u);      // avih dwSuggestedBufferSize
    EXPECT_EQ(u32(b, 32 + 16), 3u);           // avih dwTotalFrames
}

TEST(AviEncoder, WriteBufMultipliesSamplesByUnit)
{
    SmallFile s;
    s.open();
    Bytes d(12, 7);
    AVIStreamWriteBuf(s.t, 0, 3, d.data(), 4, AVIIF_LIST);
    Bytes b = s.close();
    EXPECT_EQ(u32(b, kMovi + 12 + 4), 12u);
    EXPECT_EQ(u32(b, 212 + 20 + 32), 3u); // dwLength += samples
}

TEST(AviEncoder, FlushWritesBufferedChunksVerbatim)
{
    SmallFile s;
    s.open();
    CBlockBuffer buf(64);
    unsigned char raw[10] = {'0', '1', 't', 'x', 2, 0, 0, 0, 0x55, 0x66};
    buf.Write(raw, sizeof(raw));
    EXPECT_EQ(AVIStreamWriteBufFlush(s.t, &buf), 0);
    EXPECT_EQ(buf.GetCurSize(), 0u);
    EXPECT_EQ(s.f->idx_cnt, 0u); // no accounting
    fflush(s.f->pFile);
    Bytes b = readFile(s.path);
    ASSERT_EQ(b.size(), kMovi + 12 + sizeof(raw));
    EXPECT_EQ(0, memcmp(&b[kMovi + 12], raw, sizeof(raw)));
    s.close();
}

TEST(AviEncoder, SubStreamRefusesText)
{
    TempDir d;
    AVIFILE *f;
    ASSERT_EQ(AVIFileOpen(&f, d.file("s.avi").c_str()), 0);
    AVISTREAM *v, *x;
    AVISTREAMHEADER vh = videoHeader(1920, 1080), th = otherHeader("txts");
    ASSERT_EQ(AVIFileCreateStream(f, &v, &vh), 0);
    auto created = printing([&] { return AVIFileCreateStreamSub(f, &x, &th); });
    EXPECT_EQ(created.value, -1);
    const std::string &out = created.out;
    EXPECT_TRUE(std::regex_match(
        out, std::regex("\\[libavi\\] - AVIFileCreateStreamSub\\([0-9]+\\):Invalid "
                        "Stream Type: [0-9]+\n")))
        << out;
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(f->Head.avih.dwStreams, 1u);
    AVISTREAMHEADER sh = videoHeader(1280, 720);
    ASSERT_EQ(AVIFileCreateStreamSub(f, &x, &sh), 0);
    EXPECT_EQ(x->ck_data.ckID, AVI_FOURCC('0', '1', 'd', 'c'));
    EXPECT_EQ(f->Head.avih.dwWidth, 1920u); // the main header is left alone
    AVIStreamFree(v);
    AVIStreamFree(x);
    AVIFileAbort(f);
}

TEST(AviEncoder, UnknownTypeIsRefused)
{
    TempDir d;
    AVIFILE *f;
    ASSERT_EQ(AVIFileOpen(&f, d.file("s.avi").c_str()), 0);
    AVISTREAM *x;
    AVISTREAMHEADER mh = otherHeader("mids");
    auto created = printing([&] { return AVIFileCreateStream(f, &x, &mh); });
    EXPECT_EQ(created.value, -1);
    EXPECT_NE(created.out.find("Invalid Stream Type: "), std::string::npos);
    EXPECT_EQ(f->Head.avih.dwStreams, 0u);
    AVIFileAbort(f);
}

TEST(AviEncoder, TextFormatIsAlwaysEmpty)
{
    TempDir d;
    AVIFILE *f;
    ASSERT_EQ(AVIFileOpen(&f, d.file("t.avi").c_str()), 0);
    AVISTREAM *t;
    AVISTREAMHEADER th = otherHeader("txts");
    ASSERT_EQ(AVIFileCreateStream(f, &t, &th), 0);
    unsigned char junk[16] = {1};
    ASSERT_EQ(AVIStreamSetFormat(t, 0, junk, sizeof(junk)), 0);
    EXPECT_EQ(t->pStreamBlock->ck_strf.ckSize, 0u);
    EXPECT_EQ(t->pStreamBlock->ck_strl.ckSize, 76u);
    EXPECT_EQ(t->ck_data.ckID, AVI_FOURCC('0', '0', 't', 'x'));
    AVIStreamFree(t);
    AVIFileAbort(f);
}

TEST(AviEncoder, OpenFailure)
{
    AVIFILE *f = (AVIFILE *)1;
    auto opened = printing([&] { return AVIFileOpen(&f, "/nonexistent-dir/x.avi"); });
    EXPECT_EQ(opened.value, -1);
    EXPECT_NE(opened.out.find("fopen() Fail!! \n"), std::string::npos);
    EXPECT_EQ(f, nullptr);
}

TEST(AviEncoder, CloseOfNullObjects)
{
    auto noFile = printing([] { return AVIFileClose(nullptr); });
    EXPECT_EQ(noFile.value, -1);
    EXPECT_NE(noFile.out.find("Invalid pAVIFile object!!! \n"), std::string::npos);
    AVIFILE empty = {};
    auto noStream = printing([&] { return AVIFileClose(&empty); });
    EXPECT_EQ(noStream.value, -1);
    EXPECT_NE(noStream.out.find("Invalid pFile pointer!!! \n"), std::string::npos);
    auto noAviStream = printing([] { return AVIStreamClose(nullptr); });
    EXPECT_EQ(noAviStream.value, -1);
    EXPECT_EQ(noAviStream.out, "");
}

struct AllocFailCase {
    int nth;             // which allocation of stream creation fails
    const char *message; // what is printed
};

class AviEncoderCreateAllocFail : public testing::TestWithParam<AllocFailCase>
{};

TEST_P(AviEncoderCreateAllocFail, FailsAndKeepsFileUsable)
{
    TempDir d;
    AVIFILE *f;
    ASSERT_EQ(AVIFileOpen(&f, d.file("s.avi").c_str()), 0);
    AVISTREAM *v;
    AVISTREAMHEADER vh = videoHeader(640, 480);
    avi_failAllocAfter(GetParam().nth);
    auto created = printing([&] { return AVIFileCreateStream(f, &v, &vh); });
    EXPECT_EQ(created.value, -1);
    EXPECT_NE(created.out.find(GetParam().message), std::string::npos);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(f->Head.avih.dwStreams, 0u);
    AVIFileAbort(f);
}

INSTANTIATE_TEST_SUITE_P(Allocations, AviEncoderCreateAllocFail,
                         testing::Values(AllocFailCase{1, "Can't Create Stream object\n"},
                                         AllocFailCase{2, "Can't Create Stream Block\n"}));

TEST(AviEncoder, FailedFormatCopyLeavesSizesAlone)
{
    TempDir d;
    AVIFILE *f;
    ASSERT_EQ(AVIFileOpen(&f, d.file("s.avi").c_str()), 0);
    AVISTREAM *v;
    AVISTREAMHEADER vh = videoHeader(640, 480);
    ASSERT_EQ(AVIFileCreateStream(f, &v, &vh), 0);
    unsigned char fmt[40] = {40};
    avi_failAllocAfter(1);
    auto set = printing([&] { return AVIStreamSetFormat(v, 0, fmt, sizeof(fmt)); });
    EXPECT_EQ(set.value, -1);
    EXPECT_NE(set.out.find("Can't Create Stream Format\n"), std::string::npos);
    EXPECT_EQ(f->Head.ck_hdrl.ckSize, 68u);
    EXPECT_EQ(v->pStreamBlock->ck_strl.ckSize, 0u);
    AVIStreamFree(v);
    AVIFileAbort(f);
}

TEST(AviEncoder, FailedIndexNodeWritesNothingAndIndexMatchesFile)
{
    SmallFile s;
    s.open();
    const unsigned char a[6] = {1, 1, 1, 1, 1, 1}, c[6] = {3, 3, 3, 3, 3, 3};
    Bytes fill(AVI_INDEX_POOL_NODES - 1, 9);
    // Fill the first block of nodes so that the next chunk needs a fresh block.
    for (int i = 0; i < AVI_INDEX_POOL_NODES - 1; i++)
        ASSERT_EQ(AVIStreamWrite(s.t, 0, 1, fill.data(), 1, AVIIF_LIST), 0);
    ASSERT_EQ(AVIStreamWrite(s.v, 0, 1, a, 6, AVIIF_KEYFRAME), 0);
    avi_failAllocAfter(1);
    auto written = printing([&] { return AVIStreamWrite(s.v, 0, 1, c, 6, 0); });
    EXPECT_EQ(written.value, -1);
    EXPECT_NE(written.out.find("Can't Create Index Node\n"), std::string::npos);
    ASSERT_EQ(AVIStreamWrite(s.v, 0, 1, c, 6, 0), 0);
    Bytes b = s.close();
    const uint32_t chunks = AVI_INDEX_POOL_NODES + 1;
    size_t idx = kMovi + 8 + u32(b, kMovi + 4);
    ASSERT_EQ(fourcc(b, idx), "idx1");
    EXPECT_EQ(u32(b, idx + 4), 16u * chunks);
    EXPECT_EQ(u32(b, 88 + 20 + 32), 2u); // video dwLength counts the two written chunks
    // Every index entry points at a chunk header with its identifier and size.
    for (uint32_t i = 0; i < chunks; i++) {
        size_t e = idx + 8 + 16 * i;
        size_t at = kMovi + 8 + u32(b, e + 8);
        ASSERT_EQ(u32(b, at), u32(b, e)) << i;
        ASSERT_EQ(u32(b, at + 4), u32(b, e + 12)) << i;
    }
    size_t last = kMovi + 8 + u32(b, idx + 8 + 16 * (chunks - 1) + 8);
    EXPECT_EQ(b[last + 8], 3);
}

// The 32-bit sizes of AVI 1.0 end at 4 GiB: the index takes no chunk past it, and a tail that
// would end past it writes nothing (the file stays as a power cut leaves it, for the repair to
// refuse with its reason) instead of wrapping over the header.
TEST(AviEncoder, SizesPast4GiBAreRefusedNotWrapped)
{
    SmallFile s;
    s.open();
    const unsigned char a[6] = {1, 1, 1, 1, 1, 1};
    ASSERT_EQ(AVIStreamWrite(s.v, 0, 1, a, 6, AVIIF_KEYFRAME), 0);
    fflush(s.f->pFile);
    const Bytes before = readFile(s.path);
    // As if 4 GiB of chunks had gone before.
    s.f->movi_size = 0xFFFFFFF0u;
    s.f->nOffset = (int32_t)(4 + s.f->movi_size);
    {
        ConsoleCapture out(stdout);
        EXPECT_EQ(AVIStreamWrite(s.v, 0, 1, a, 6, 0), 0); // 8 + 6 bytes still fit
        EXPECT_EQ(AVIStreamWrite(s.v, 0, 1, a, 6, 0), -1);
        EXPECT_NE(out.text().find("File too large for the index\n"), std::string::npos);
    }
    EXPECT_EQ(s.f->movi_size, 0xFFFFFFFEu);
    EXPECT_EQ(s.f->idx_cnt, 2u);

    fflush(s.f->pFile);
    const Bytes written = readFile(s.path);
    s.f->nHeadWritten = (DWORD)kMovi;
    EXPECT_GT(AVIFileCompleteLength(s.f, kMovi), 0xFFFFFFFFull);
    EXPECT_EQ(AVIFileWriteTail(s.f, 0), AVI_TAIL_ERANGE);
    fflush(s.f->pFile);
    EXPECT_TRUE(readFile(s.path) == written) << "nothing written";
    EXPECT_EQ(written.size(), before.size() + 14);
    AVIFileAbort(s.f);
    AVIStreamFree(s.v);
    AVIStreamFree(s.t);
}

// With the cut, bytes past the index of a file rewritten in place are gone, before the head
// with its RIFF size goes out.
TEST(AviEncoder, TailCutsTheFileAfterTheIndex)
{
    SmallFile s;
    s.open();
    const unsigned char a[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(AVIStreamWrite(s.v, 0, 1, a, 5, AVIIF_KEYFRAME), 0);
    const Bytes stale(5000, 0xEE);
    fwrite(stale.data(), 1, stale.size(), s.f->pFile);
    EXPECT_EQ(AVIStreamClose(s.v), 0);
    EXPECT_EQ(AVIStreamClose(s.t), 0);
    ASSERT_EQ(AVIFileWriteTail(s.f, 1), AVI_TAIL_OK);
    AVIFileAbort(s.f);
    Bytes b = readFile(s.path);
    EXPECT_EQ(completeFileFault(b), "");
    EXPECT_EQ(b.size(), kMovi + 12 + 16 + 8 + 16);
}

// Chunk identifiers both ways: what the writer names a stream's chunks is what the repair and
// the playback take them for.
TEST(AviFormat, ChunkIdentifiersBothWays)
{
    struct {
        DWORD stream;
        uint16_t type;
        const char *text;
    } cases[] = {{0, AVI_TWOCC_VIDEO, "00dc"},
                 {1, AVI_TWOCC_VIDEO, "01dc"},
                 {2, AVI_TWOCC_AUDIO, "02wb"},
                 {3, AVI_TWOCC_TEXT, "03tx"}};
    for (const auto &c : cases) {
        const FOURCC id = avi_chunkId(c.stream, c.type);
        EXPECT_EQ(id, AVI_FOURCC(c.text[0], c.text[1], c.text[2], c.text[3])) << c.text;
        DWORD stream = 99;
        uint16_t type = 0;
        ASSERT_TRUE(avi_chunkIdDecode(id, &stream, &type)) << c.text;
        EXPECT_EQ(stream, c.stream) << c.text;
        EXPECT_EQ(type, c.type) << c.text;
    }
    for (const char *other : {"JUNK", "idx1", "10dc", "0xdc", "ix00"}) {
        DWORD stream = 99;
        uint16_t type = 7;
        EXPECT_FALSE(
            avi_chunkIdDecode(AVI_FOURCC(other[0], other[1], other[2], other[3]), &stream, &type))
            << other;
        EXPECT_EQ(stream, 99u) << other;
        EXPECT_EQ(type, 7) << other;
    }
}

TEST(AviFormat, FourccText)
{
    char out[5];
    avi_fourccText(out, AVI_FCC_H264, '.');
    EXPECT_STREQ(out, "H264");
    avi_fourccText(out, AVI_FOURCC('a', 1, 0x7F, 0xC8), '.');
    EXPECT_STREQ(out, "a...");
    // Without a replacement the bytes stay as they are, a NUL included.
    avi_fourccText(out, AVI_FOURCC('a', 1, 0, 0xC8), 0);
    EXPECT_EQ(memcmp(out, "a\x01\x00\xC8\x00", 5), 0);
}

// The head and the movi list header as the writer leaves them at the open, read back; a file
// that ends early and a wrong identifier are told apart, since the repair takes a file cut before
// its movi header as one without chunks.
TEST(AviFormat, HeadAndMoviHeaderReadBack)
{
    SmallFile s;
    s.open();
    const Bytes atOpen = readFile(s.path);
    s.close();
    TempDir d;
    auto readBoth = [&](const Bytes &b, int *head, int *movi, AVIHEADBLOCK *h, CK_LIST *m) {
        writeFile(d.file("h.avi"), b);
        FILE *fp = fopen(d.file("h.avi").c_str(), "rb");
        ASSERT_NE(fp, nullptr);
        *head = avi_readHead(fp, h);
        *movi = fseek(fp, (long)kMovi, SEEK_SET) == 0 ? avi_readMoviHeader(fp, m) : 99;
        fclose(fp);
    };
    int head = 99, movi = 99;
    AVIHEADBLOCK h = {};
    CK_LIST m = {};
    readBoth(atOpen, &head, &movi, &h, &m);
    EXPECT_EQ(head, AVI_READ_OK);
    EXPECT_EQ(movi, AVI_READ_OK);
    EXPECT_EQ(h.ck_hdrl.ckSize, AVI_HDRL_BASE_SIZE + 124 + 84);
    EXPECT_EQ(h.avih.dwStreams, 2u);
    EXPECT_EQ(m.ckSize, 0u);

    readBoth(Bytes(atOpen.begin(), atOpen.begin() + 87), &head, &movi, &h, &m);
    EXPECT_EQ(head, AVI_READ_ESHORT);
    readBoth(Bytes(atOpen.begin(), atOpen.begin() + (long)kMovi + 11), &head, &movi, &h, &m);
    EXPECT_EQ(head, AVI_READ_OK);
    EXPECT_EQ(movi, AVI_READ_ESHORT);

    for (size_t at : {0u, 8u, 20u, 24u}) {
        Bytes b = atOpen;
        b[at] ^= 0x20;
        readBoth(b, &head, &movi, &h, &m);
        EXPECT_EQ(head, AVI_READ_EID) << at;
    }
    for (size_t at : {kMovi, kMovi + 8}) {
        Bytes b = atOpen;
        b[at] ^= 0x20;
        readBoth(b, &head, &movi, &h, &m);
        EXPECT_EQ(movi, AVI_READ_EID) << at;
    }
}

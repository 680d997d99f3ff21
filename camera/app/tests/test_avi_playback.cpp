#include "app/q7_avi_playback.h"
#include "avi_test_util.h"
#include "testsupport/console.h"
#include "platform/osa.h"
#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"

#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <thread>
#include <unistd.h>

using namespace avitest;

namespace {

// A well-formed access unit as the decoder checks it: SPS, PPS and IDR for a key frame,
// one slice otherwise; `tag` makes frames tell apart.
Bytes accessUnit(bool key, uint32_t tag, size_t size = 64)
{
    Bytes d = key ? Bytes{0, 0, 0, 1, 0x27, 0x42, 0, 0, 0, 1, 0x28, 0xCE, 0, 0, 0, 1, 0x25, 0x88}
                  : Bytes{0, 0, 0, 1, 0x21, 0x9A};
    while (d.size() < size)
        d.push_back((uint8_t)(0x40 | (d.size() & 0x3F)));
    for (int i = 0; i < 4; i++)
        d[d.size() - 4 + i] = (uint8_t)(0x50 + ((tag >> (8 * i)) & 0xF));
    return d;
}

std::vector<Chunk> recording(int frames, bool sub, bool text)
{
    std::vector<Chunk> out;
    for (int i = 0; i < frames; i++) {
        bool key = i % 30 == 0;
        out.push_back({DATA_TYPE_VIDEO_MAIN, accessUnit(key, (uint32_t)i, 200 + (size_t)i), key});
        if (sub)
            out.push_back({DATA_TYPE_VIDEO_SUB, accessUnit(key, 1000u + (uint32_t)i, 99), key});
        if (i % 4 == 3)
            out.push_back({DATA_TYPE_AUDIO, Bytes(2000, 0x7F), false});
        if (text && i % 10 == 5)
            out.push_back({DATA_TYPE_TEXT, Bytes(33, 't'), false});
    }
    return out;
}

// ---- The chunk walk ------------------------------------------------------------------------

struct Walked {
    uint32_t stream;
    Bytes data;
};

std::vector<Walked> walk(const std::string &path, uint32_t cap = PB_STAGING_SIZE)
{
    Bytes file = readFile(path);
    FILE *fp = fopen(path.c_str(), "rb");
    EXPECT_NE(fp, nullptr);
    PB_READER r;
    size_t movi = moviOffset(file);
    pb_readerInit(&r, fp, (off_t)movi, u32(file, movi + 4));
    std::vector<Walked> out;
    std::vector<uint8_t> buf(cap);
    uint32_t stream, size;
    while (pb_readVideoChunk(&r, buf.data(), cap, &stream, &size) == 1) {
        out.push_back({stream, Bytes(buf.begin(), buf.begin() + size)});
        if (out.size() > 100000)
            break;
    }
    fclose(fp);
    return out;
}

std::vector<Walked> videoOf(const std::vector<Chunk> &chunks, size_t cap = PB_STAGING_SIZE)
{
    std::vector<Walked> out;
    for (const Chunk &c : chunks)
        if ((c.dataType == DATA_TYPE_VIDEO_MAIN || c.dataType == DATA_TYPE_VIDEO_SUB) &&
            c.data.size() <= cap)
            out.push_back({(uint32_t)c.dataType, c.data});
    return out;
}

void expectSame(const std::vector<Walked> &a, const std::vector<Walked> &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++) {
        EXPECT_EQ(a[i].stream, b[i].stream) << i;
        EXPECT_TRUE(a[i].data == b[i].data) << i;
    }
}

} // namespace

TEST(PlaybackReader, VideoOfBothStreamsInFileOrderAudioAndTextPassedOver)
{
    TempDir d;
    auto chunks = recording(40, true, true);
    ASSERT_TRUE(writeRecording(d.file("a.avi"), recorderParams(true, true), chunks));
    // The recorder writes no text; the writer accepts it all the same.
    size_t texts = 0;
    for (const Chunk &c : chunks)
        texts += c.dataType == DATA_TYPE_TEXT;
    ASSERT_GT(texts, 0u);
    expectSame(walk(d.file("a.avi")), videoOf(chunks));
}

TEST(PlaybackReader, ChunksLargerThanTheStagingBufferAreSkipped)
{
    TempDir d;
    auto chunks = recording(10, false, false);
    std::vector<size_t> video;
    for (size_t i = 0; i < chunks.size(); i++)
        if (chunks[i].dataType == DATA_TYPE_VIDEO_MAIN)
            video.push_back(i);
    chunks[video[4]].data.resize(PB_STAGING_SIZE + 1, 0x11); // passed over
    chunks[video[6]].data.resize(PB_STAGING_SIZE, 0x22);     // just fits
    ASSERT_TRUE(writeRecording(d.file("b.avi"), recorderParams(true, false), chunks));
    auto got = walk(d.file("b.avi"));
    expectSame(got, videoOf(chunks));
    ASSERT_EQ(got.size(), videoOf(chunks, SIZE_MAX).size() - 1);
}

TEST(PlaybackReader, EndsAtTheEndOfTheMoviList)
{
    TempDir d;
    auto chunks = recording(5, false, false);
    ASSERT_TRUE(writeRecording(d.file("c.avi"), recorderParams(true, false), chunks));
    // idx1 follows; its entries must not be taken for chunks.
    expectSame(walk(d.file("c.avi")), videoOf(chunks));
}

TEST(PlaybackReader, EndsAtTheEndOfACutFile)
{
    TempDir d;
    auto chunks = recording(12, false, false);
    Bytes atOpen;
    ASSERT_TRUE(writeRecording(d.file("full.avi"), recorderParams(true, false), chunks, &atOpen));
    Bytes closed = readFile(d.file("full.avi"));
    auto offs = chunkOffsets(closed);
    struct {
        size_t at;
        size_t complete; // chunks before the cut
    } cuts[] = {{offs[7], 7},
                {offs[7] + 5, 7},
                {offs[7] + 8 + 10, 7},
                {closed.size() - 100, offs.size() - 1}};
    for (const auto &c : cuts) {
        writeFile(d.file("cut.avi"), powerCut(closed, atOpen, c.at));
        std::vector<Chunk> part(chunks.begin(), chunks.begin() + (long)c.complete);
        expectSame(walk(d.file("cut.avi")), videoOf(part));
    }
}

TEST(PlaybackReader, OnlyStreamsZeroAndOneAreVideo)
{
    TempDir d;
    auto chunks = recording(3, false, false);
    ASSERT_TRUE(writeRecording(d.file("e.avi"), recorderParams(true, false), chunks));
    Bytes b = readFile(d.file("e.avi"));
    auto offs = chunkOffsets(b);
    memcpy(&b[offs[0]], "02dc", 4); // no such video stream
    memcpy(&b[offs[1]], "x0dc", 4);
    writeFile(d.file("e.avi"), b);
    std::vector<Chunk> rest(chunks.begin() + 2, chunks.end());
    expectSame(walk(d.file("e.avi")), videoOf(rest));
}

// ---- The menu and the thread, with the simulated decoder ---------------------------------

namespace {

class Playback : public testing::Test
{
protected:
    void SetUp() override
    {
        sim_reset();
        System_init();
        VDEC_PARAMS_S prm;
        Vdec_params_init(&prm);
        Vdec_init(&prm);
        Vdec_start();
    }
    void TearDown() override
    {
        if (m_menu.joinable()) {
            closeInput();
            m_menu.join();
        }
        Vdec_stop();
        Vdec_exit();
        System_deInit();
    }

    void startMenu()
    {
        m_console = std::make_unique<ConsoleCapture>(stdout);
        m_menu = std::thread([this] { m_result = pb_main(); });
    }
    void type(const std::string &s) { ASSERT_TRUE(m_input.type(s)); }
    void closeInput() { m_input.end(); }
    // What the menu printed since it started; the console is the test's again.
    std::string output()
    {
        std::string out = m_console ? m_console->text() : "";
        m_console.reset();
        return out;
    }
    // Ends the menu (end of input) and returns what was printed.
    std::string finish()
    {
        closeInput();
        m_menu.join();
        return output();
    }
    static bool waitFor(const std::function<bool()> &cond, int ms = 10000)
    {
        for (int i = 0; i < ms / 10; i++) {
            if (cond())
                return true;
            OSA_waitMsecs(10);
        }
        return cond();
    }
    // Waits until the decoder's counts stop moving.
    static SimCounters settled()
    {
        SimCounters prev = sim_counters();
        for (int i = 0; i < 100; i++) {
            OSA_waitMsecs(100);
            SimCounters now = sim_counters();
            if (memcmp(&now, &prev, sizeof(now)) == 0)
                return now;
            prev = now;
        }
        return prev;
    }

    TempDir m_dir;
    TypedInput m_input; // the console the menu reads
    std::unique_ptr<ConsoleCapture> m_console;
    std::thread m_menu;
    int m_result = -1;
};

const char kMenuText[] =
    "\r\n ==================\r\n Playback Main Menu\r\n ==================\r\n\r\n"
    " 0: exit\r\n 1: Start avi playback\r\n 2: Stop avi playback\r\n\r\n"
    " Enter Choice: ";

} // namespace

TEST_F(Playback, HundredFramesEndAfterNinetyNine)
{
    std::string path = m_dir.file("p.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), recording(100, false, true)));
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return sim_counters().decoded[0] >= 99; }));
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0; }));
    SimCounters c = settled();
    std::string out = finish();
    EXPECT_EQ(m_result, 0);
    EXPECT_EQ(c.decoded[0], 99u);
    EXPECT_EQ(c.decoded[1], 0u);
    EXPECT_EQ(c.decodeErrors[0] + c.decodeErrors[1], 0u);
    EXPECT_EQ(out.substr(0, sizeof(kMenuText) - 1), kMenuText);
    EXPECT_NE(out.find(" \n Enter file path for playback (.avi) : "), std::string::npos) << out;
    EXPECT_NE(out.find("[PLAYBACK] Playback Running...\n"), std::string::npos);
    size_t exitAt = out.find("[PLAYBACK] Exit playback loop...\n\n[PLAYBACK] File close done...\n");
    EXPECT_NE(exitAt, std::string::npos) << out;
    EXPECT_NE(out.find("[PLAYBACK] Playback is done...\n", exitAt), std::string::npos);
    EXPECT_EQ(out.find("Playback stop done"), std::string::npos);
    EXPECT_EQ(pbObj.aviFile, nullptr);
}

TEST_F(Playback, MainAndSubStreamsGoToTheirChannels)
{
    std::string path = m_dir.file("s.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, true), recording(40, true, false)));
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0 && sim_counters().decoded[0] >= 39; }));
    SimCounters c = settled();
    finish();
    EXPECT_EQ(c.decoded[0], 39u);
    EXPECT_GE(c.decoded[1], 38u);
    EXPECT_LE(c.decoded[1], 39u);
    EXPECT_EQ(c.decodeErrors[0] + c.decodeErrors[1], 0u);
}

TEST_F(Playback, StopFromTheMenu)
{
    std::string path = m_dir.file("l.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), recording(900, false, false)));
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return sim_counters().decoded[0] >= 5; }));
    type("2\n");
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0; }));
    SimCounters c = settled();
    std::string out = finish();
    EXPECT_NE(out.find("\n[PLAYBACK] Playback stop done...\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[PLAYBACK] Playback is done...\n"), std::string::npos);
    EXPECT_LT(c.decoded[0], 200u);
    EXPECT_FALSE(pbObj.thrHndl.valid);
}

TEST_F(Playback, ExitWhilePlayingStopsThePlaybackFirst)
{
    std::string path = m_dir.file("x.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), recording(900, false, false)));
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return sim_counters().decoded[0] >= 3; }));
    type("0\n");
    m_menu.join();
    EXPECT_EQ(m_result, 0);
    EXPECT_EQ(pbObj.running, 0u);
    EXPECT_FALSE(pbObj.thrHndl.valid);
    std::string out = output();
    EXPECT_NE(out.find("Playback stop done"), std::string::npos);
}

TEST_F(Playback, TotalFramesBeyondTheChunksEndsAtTheEndOfTheData)
{
    std::string path = m_dir.file("t.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), recording(20, false, false)));
    Bytes b = readFile(path);
    putU32(b, 32 + 16, 5000); // dwTotalFrames
    writeFile(path, b);
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0; }, 5000));
    SimCounters c = settled();
    finish();
    EXPECT_EQ(c.decoded[0], 20u);
}

TEST_F(Playback, SecondPlaybackAfterTheFirstEndedByItself)
{
    std::string path = m_dir.file("r.avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(true, false), recording(10, false, false)));
    startMenu();
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0 && sim_counters().decoded[0] >= 9; }));
    type("1\n" + path + "\n");
    ASSERT_TRUE(waitFor([] { return sim_counters().decoded[0] >= 18; }));
    ASSERT_TRUE(waitFor([] { return pbObj.running == 0; }));
    SimCounters c = settled();
    std::string out = finish();
    EXPECT_EQ(c.decoded[0], 18u);
    EXPECT_EQ(countOf(out, "[PLAYBACK] Playback is done..."), 2u);
}

struct Refused {
    const char *what;
    int change; // 0 missing file, 1 not an AVI, 2 dwTotalFrames 0 (never closed), 3 no streams, 4 movi type
    const char *message;
};

class PlaybackRefuses : public Playback, public testing::WithParamInterface<Refused>
{};

TEST_P(PlaybackRefuses, BadFiles)
{
    const Refused &r = GetParam();
    std::string path = m_dir.file("bad.avi");
    Bytes atOpen;
    ASSERT_TRUE(
        writeRecording(path, recorderParams(true, false), recording(10, false, false), &atOpen));
    Bytes b = readFile(path);
    if (r.change == 0)
        unlink(path.c_str());
    if (r.change == 1)
        b[8] = 'W';
    if (r.change == 2)
        b = powerCut(b, atOpen, b.size() - 100); // cut short, not repaired
    if (r.change == 3)
        putU32(b, 32 + 24, 0);
    if (r.change == 4)
        memcpy(&b[moviOffset(b) + 8], "rec ", 4);
    if (r.change)
        writeFile(path, b);
    startMenu();
    type("1\n" + path + "\n2\n");
    std::string out = finish();
    std::string expect = r.message;
    if (r.change == 0)
        expect = "[PLAYBACK] fopen() Fail (" + path + ")!! \n";
    EXPECT_NE(out.find(expect + "\n[PLAYBACK] File close done...\n"), std::string::npos)
        << r.what << out;
    EXPECT_EQ(out.find("Playback Running"), std::string::npos);
    // '2' with nothing playing shows the menu again; end of input leaves it.
    EXPECT_EQ(countOf(out, " Enter Choice: "), 3u);
    EXPECT_EQ(sim_counters().decoded[0], 0u);
    EXPECT_EQ(pbObj.running, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlaybackRefuses,
    testing::Values(Refused{"missing", 0, ""},
                    Refused{"not an AVI", 1, "[PLAYBACK] Not enough header information.\n"},
                    Refused{"cut short", 2, "[PLAYBACK] Empty stream data.\n"},
                    Refused{"no streams", 3, "[PLAYBACK] Empty stream data.\n"},
                    Refused{"movi type", 4, "[PLAYBACK] Invalid movi header\n"}));

TEST_F(Playback, OtherChoicesShowTheMenuAgain)
{
    startMenu();
    type("2\n7\n\nx\n0\n");
    m_menu.join();
    std::string out = output();
    EXPECT_EQ(m_result, 0);
    EXPECT_EQ(countOf(out, kMenuText), 5u);
}

TEST(PlaybackMenu, GetCmdPutsTheFirstCharacterInTheLowestByte)
{
    int cmd;
    {
        ScriptedInput console("2ab\n");
        cmd = pbmenu_get_cmd();
    }
    EXPECT_EQ(cmd & 0xFF, '2');
    EXPECT_EQ((cmd >> 8) & 0xFF, 'a');
}

// The pre-record list on synthetic time stamps: what it keeps, and the event files it writes.
#include <gtest/gtest.h>

#include <string.h>

#include <deque>
#include <vector>

#include "rec_test_util.h"
#include "testsupport/console.h"
#include "recorder/q7_prerec.h"

using namespace rectest;

namespace {

struct Entry {
    uint64_t ms;  // wall-clock milliseconds, before the 32-bit cut
    int dataType; // 0 main, 1 sub, 2 audio
    bool key;
    uint32_t seq;
    uint32_t size;
};

class PreList : public testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(PRELIST_init_instance(10, 10, 1920, 1080), 0u); }
    void TearDown() override { PRELIST_deinit_instance(); }

    // Adds one entry the way the recorder does; returns the list's count.
    int add(const Entry &e)
    {
        Bytes data = frameBytes(e.seq, e.size);
        AVI_FRAME_PARAM f;
        memset(&f, 0, sizeof(f));
        f.buf = data.data();
        f.size = (int)data.size();
        f.channel = e.dataType == DATA_TYPE_AUDIO ? 0 : e.dataType;
        f.data_type = e.dataType;
        f.iskey_frame = e.key ? 1 : 0;
        f.time_sec = (int)(e.ms / 1000);
        f.time_usec = (int)(e.ms % 1000) * 1000;
        fed.push_back(e);
        return e.dataType == DATA_TYPE_AUDIO ? PRELIST_add_tail_ado(&f) : PRELIST_add_tail_vdo(&f);
    }

    // The board's feed from `fromMs` for `frames` frame periods at 30 fps: main (key every
    // `gop`, the first key at frame `firstKey`), sub, and an audio block every 125 ms.
    void feed(uint64_t fromMs, int frames, int gop = 30, int firstKey = 0, uint32_t mainSize = 4000)
    {
        if (nextAudioMs < fromMs)
            nextAudioMs = fromMs;
        for (int i = 0; i < frames; i++) {
            uint64_t t = fromMs + (uint64_t)i * 1000 / 30;
            add({t, 0, (frameNo - firstKey) % gop == 0 && frameNo >= firstKey, seq++, mainSize});
            add({t, 1, frameNo % gop == 0, seq++, 1000});
            while (nextAudioMs <= t) {
                add({nextAudioMs, 2, false, seq++, 2000});
                nextAudioMs += 125;
            }
            frameNo++;
            lastMs = t;
        }
    }

    std::vector<uint32_t> listedSeqs()
    {
        std::vector<uint32_t> out;
        for (PRELIST_NODE *n = gPREREC_ctrl.head; n != nullptr; n = n->next)
            out.push_back((uint32_t)frameSeq(n->frame.buf, (size_t)n->frame.size));
        return out;
    }

    const Entry &bySeq(uint32_t s)
    {
        for (const Entry &e : fed)
            if (e.seq == s)
                return e;
        static Entry none{};
        return none;
    }

    std::vector<Entry> fed;
    uint32_t seq = 1;
    int frameNo = 0;
    uint64_t nextAudioMs = 0;
    uint64_t lastMs = 0;
};

// Chunk tags of the event file, and the numbers its frames carry (-1 for damaged data).
std::vector<std::pair<std::string, int64_t>> eventContent(const Board &board)
{
    std::vector<std::pair<std::string, int64_t>> out;
    std::vector<std::string> files = listDir(board.event());
    if (files.size() != 1)
        return out;
    for (const Chunk &c : readChunks(board.event() + "/" + files[0]))
        if (c.fourcc != "03tx")
            out.emplace_back(c.fourcc, frameSeq(c.data.data(), c.data.size()));
    return out;
}

const char *tagOf(int dataType)
{
    return dataType == 0 ? "00dc" : dataType == 1 ? "01dc" : "02wb";
}

// What the event file must hold: from the first main key frame of the list at the event instant
// up to and including the first entry more than 10 000 ms after the event instant (the time of
// the newest entry listed then).
std::vector<std::pair<std::string, int64_t>> expectedEvent(const std::vector<Entry> &atEvent,
                                                           const std::vector<Entry> &after)
{
    std::vector<Entry> all = atEvent;
    all.insert(all.end(), after.begin(), after.end());
    uint32_t instant = (uint32_t)atEvent.back().ms;
    std::vector<std::pair<std::string, int64_t>> out;
    bool key = false;
    for (size_t i = 0; i < all.size(); i++) {
        const Entry &e = all[i];
        if (!key && e.dataType == 0 && e.key)
            key = true;
        if (key)
            out.emplace_back(tagOf(e.dataType), e.seq);
        if (i + 1 >= atEvent.size() && (uint32_t)e.ms - instant > 10000)
            break;
    }
    return out;
}

TEST_F(PreList, WithoutAnEventKeepsTheLast10000ms)
{
    Board board;
    feed(5000, 20 * 30);
    std::vector<uint32_t> listed = listedSeqs();
    std::vector<uint32_t> want;
    for (const Entry &e : fed)
        if (lastMs - e.ms <= 10000)
            want.push_back(e.seq);
    EXPECT_EQ(listed, want);
    EXPECT_EQ(gPREREC_ctrl.count, want.size());
    EXPECT_LE(gPREREC_ctrl.span, 10000u);
    EXPECT_TRUE(listDir(board.event()).empty());
}

TEST_F(PreList, EventFileStartsAtTheWindowsFirstMainKeyAndEndsPastThePostRecordTime)
{
    Board board;
    feed(100000, 15 * 30, 30, 7); // the window starts with non-key frames
    std::vector<Entry> atEvent;
    for (uint32_t s : listedSeqs())
        atEvent.push_back(bySeq(s));
    ASSERT_FALSE(atEvent.front().dataType == 0 && atEvent.front().key);
    ASSERT_EQ(PRELIST_set_event(30), 0);
    size_t before = fed.size();
    feed(lastMs + 33, 25 * 30, 30, 7);
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u);
    std::vector<Entry> after(fed.begin() + (long)before, fed.end());

    std::vector<std::pair<std::string, int64_t>> got = eventContent(board);
    std::vector<std::pair<std::string, int64_t>> want = expectedEvent(atEvent, after);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(got.front().first, "00dc");
    EXPECT_TRUE(bySeq((uint32_t)got.front().second).key);
    EXPECT_EQ(got, want);
    size_t mainFrames = 0;
    for (auto &c : got)
        mainFrames += c.first == "00dc";
    EXPECT_NEAR((double)mainFrames, 600.0, 30.0);
    // Buffering goes on after the event: the list spans the pre-record time again.
    EXPECT_LE(gPREREC_ctrl.span, 10000u);
    EXPECT_GT(gPREREC_ctrl.count, 0u);
}

TEST_F(PreList, AnEventDuringAnEventChangesNothing)
{
    Board board;
    feed(1000, 12 * 30);
    ASSERT_EQ(PRELIST_set_event(30), 0);
    feed(lastMs + 33, 3 * 30);
    int32_t backlog = gPREREC_ctrl.backlog;
    uint32_t start = gPREREC_ctrl.eventStartMs;
    uint32_t count = gPREREC_ctrl.count;
    EXPECT_EQ(PRELIST_set_event(30), -1);
    EXPECT_EQ(gPREREC_ctrl.backlog, backlog);
    EXPECT_EQ(gPREREC_ctrl.eventStartMs, start);
    EXPECT_EQ(gPREREC_ctrl.count, count);
    EXPECT_EQ(listDir(board.event()).size(), 1u);
    feed(lastMs + 33, 20 * 30);
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u);
}

TEST_F(PreList, DurationZeroEmptiesTheListAndRefusesEvents)
{
    Board board;
    feed(1000, 5 * 30);
    ASSERT_GT(gPREREC_ctrl.count, 0u);
    PRELIST_set_prerec_duration(0);
    EXPECT_EQ(gPREREC_ctrl.count, 0u);
    EXPECT_EQ(gPREREC_ctrl.head, nullptr);
    EXPECT_EQ(PRELIST_getPrerecDuration(), 0);
    EXPECT_EQ(PRELIST_set_event(30), -1);
    feed(lastMs + 33, 30);
    EXPECT_EQ(gPREREC_ctrl.count, 0u);
    EXPECT_TRUE(listDir(board.event()).empty());
    // A shorter duration trims at the next append.
    PRELIST_set_prerec_duration(3000);
    EXPECT_EQ(PRELIST_getPrerecDuration(), 3);
    feed(lastMs + 33, 5 * 30);
    EXPECT_LE(gPREREC_ctrl.span, 3000u);
    EXPECT_GE(gPREREC_ctrl.span, 2900u);
}

TEST_F(PreList, DurationZeroDuringAnEventFinishesTheEventFile)
{
    Board board;
    feed(1000, 12 * 30);
    ASSERT_EQ(PRELIST_set_event(30), 0);
    feed(lastMs + 33, 2 * 30);
    PRELIST_set_prerec_duration(0);
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u);
    std::vector<std::string> files = listDir(board.event());
    ASSERT_EQ(files.size(), 1u);
    // Closed: the index follows the data.
    Bytes file = readFile(board.event() + "/" + files[0]);
    std::string text(file.begin(), file.end());
    EXPECT_NE(text.find("idx1"), std::string::npos);
    std::vector<std::pair<std::string, int64_t>> got = eventContent(board);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front().first, "00dc");
}

struct StopCase {
    const char *name;
    int framesAfterEvent; // how far the delay line has drained when the camera stops
};

class StopDuringEvent : public PreList, public testing::WithParamInterface<StopCase>
{};

TEST_P(StopDuringEvent, FlushesTheRestFromTheFirstMainKeyWithoutAGap)
{
    Board board;
    feed(1000, 12 * 30, 30, 11);
    std::vector<Entry> all;
    for (uint32_t s : listedSeqs())
        all.push_back(bySeq(s));
    ASSERT_EQ(PRELIST_set_event(30), 0);
    size_t before = fed.size();
    feed(lastMs + 33, GetParam().framesAfterEvent, 30, 11);
    all.insert(all.end(), fed.begin() + (long)before, fed.end());
    PRELIST_deinit_instance();
    ASSERT_EQ(PRELIST_init_instance(10, 10, 1920, 1080) != 0u, true);

    std::vector<std::pair<std::string, int64_t>> want;
    bool key = false;
    for (const Entry &e : all) {
        key = key || (e.dataType == 0 && e.key);
        if (key)
            want.emplace_back(tagOf(e.dataType), e.seq);
    }
    EXPECT_EQ(eventContent(board), want);
}

INSTANTIATE_TEST_SUITE_P(Drained, StopDuringEvent,
                         testing::Values(StopCase{"BeforeTheFirstKeyFrameLeftTheList", 2},
                                         StopCase{"AfterTheFileBegan", 3 * 30}),
                         [](const testing::TestParamInfo<StopCase> &i) { return i.param.name; });

TEST_F(PreList, TimeStampsAcrossThe32BitWrap)
{
    Board board;
    uint64_t wrap = (uint64_t)1 << 32;
    feed(wrap - 15000, 12 * 30); // the feed passes the wrap 15 s in
    feed(lastMs + 33, 12 * 30);
    ASSERT_GT(lastMs, wrap);
    std::vector<uint32_t> want;
    for (const Entry &e : fed)
        if (lastMs - e.ms <= 10000)
            want.push_back(e.seq);
    EXPECT_EQ(listedSeqs(), want);

    // An event whose post-record time ends past the wrap.
    std::vector<Entry> atEvent;
    for (uint32_t s : listedSeqs())
        atEvent.push_back(bySeq(s));
    ASSERT_EQ(PRELIST_set_event(30), 0);
    size_t before = fed.size();
    feed(lastMs + 33, 25 * 30);
    std::vector<Entry> after(fed.begin() + (long)before, fed.end());
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u);
    EXPECT_EQ(eventContent(board), expectedEvent(atEvent, after));
}

TEST_F(PreList, AnEventOnAnEmptyListRecordsFromTheNextKeyFrameForThePostRecordTime)
{
    Board board;
    ASSERT_EQ(gPREREC_ctrl.count, 0u);
    ASSERT_EQ(PRELIST_set_event(30), 0);
    feed(50000, 15 * 30, 30, 5);
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u);
    std::vector<std::pair<std::string, int64_t>> got = eventContent(board);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front().first, "00dc");
    const Entry &first = bySeq((uint32_t)got.front().second);
    EXPECT_TRUE(first.key);
    // The event instant is the first entry's time; the file ends past 10 s after it.
    const Entry &last = bySeq((uint32_t)got.back().second);
    EXPECT_GT(last.ms - 50000, 10000u);
    EXPECT_LE(last.ms - 50000, 10000u + 34);
    for (size_t i = 1; i < got.size(); i++)
        EXPECT_EQ(got[i].second, got[i - 1].second + 1) << "a gap at " << i;
}

TEST_F(PreList, RegionWrapNeverOverwritesListedData)
{
    // 600 kB main frames: ten seconds would need 180 MB, three times the region.
    Board board;
    feed(1000, 8 * 30, 30, 0, 600000);
    std::vector<uint32_t> listed = listedSeqs();
    ASSERT_FALSE(listed.empty());
    for (uint32_t s : listed)
        ASSERT_NE((int64_t)s, -1) << "a listed node's data was overwritten";
    // The newest entries are kept, in order, without holes.
    EXPECT_EQ(listed.back(), fed.back().seq);
    for (size_t i = 1; i < listed.size(); i++)
        EXPECT_EQ(listed[i], listed[i - 1] + 1);
    EXPECT_LT(gPREREC_ctrl.span, 10000u);

    // During an event the entries pushed out early go into the event file, intact and in order.
    ASSERT_EQ(PRELIST_set_event(30), 0);
    feed(lastMs + 33, 5 * 30, 30, 0, 600000);
    PRELIST_deinit_instance();
    ASSERT_NE(PRELIST_init_instance(10, 10, 1920, 1080), 0u);
    std::vector<std::pair<std::string, int64_t>> got = eventContent(board);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front().first, "00dc");
    for (size_t i = 0; i < got.size(); i++) {
        ASSERT_NE(got[i].second, -1) << "damaged data in the event file at " << i;
        if (i > 0) {
            ASSERT_EQ(got[i].second, got[i - 1].second + 1) << "a gap at " << i;
        }
    }
}

TEST_F(PreList, AnEntryLargerThanTheRegionIsNotListed)
{
    Board board;
    feed(1000, 30);
    uint32_t count = gPREREC_ctrl.count;
    Entry huge{lastMs + 33, 0, true, 999999, PRELIST_REGION_SIZE};
    EXPECT_EQ(add(huge), (int)count);
    EXPECT_EQ(listedSeqs().back(), fed[fed.size() - 2].seq);
}

TEST(PreListMemory, FailedRegionAllocationLeavesTheListOff)
{
    Board board;
    PRELIST_failNextRegionAlloc();
    auto init = printing([] { return PRELIST_init_instance(10, 10, 1920, 1080); });
    EXPECT_EQ(init.value, 0u);
    const std::string &out = init.out;
    EXPECT_NE(out.find("[pre-rec] "), std::string::npos);
    EXPECT_EQ(PRELIST_getPrerecDuration(), 0);
    Bytes data = frameBytes(1, 100);
    AVI_FRAME_PARAM f{data.data(), 100, 0, 0, 1, 10, 0};
    EXPECT_EQ(PRELIST_add_tail_vdo(&f), 0);
    EXPECT_EQ(PRELIST_set_event(30), -1);
    PRELIST_set_prerec_duration(10000);
    EXPECT_EQ(PRELIST_getPrerecDuration(), 0);
    EXPECT_EQ(PRELIST_add_tail_vdo(&f), 0);
    EXPECT_TRUE(listDir(board.event()).empty());
    PRELIST_deinit_instance();
}

TEST(PreListMemory, AMissingEventFolderRunsTheEventWithoutAFile)
{
    Board board;
    ASSERT_EQ(system(("rm -rf '" + board.event() + "'").c_str()), 0);
    ASSERT_NE(PRELIST_init_instance(10, 10, 1920, 1080), 0u);
    Bytes data = frameBytes(1, 100);
    AVI_FRAME_PARAM f{data.data(), 100, 0, 0, 1, 10, 0};
    PRELIST_add_tail_vdo(&f);
    EXPECT_EQ(printing([] { return PRELIST_set_event(30); }).value, -1);
    EXPECT_EQ(gPREREC_ctrl.eventOn, 1u);
    for (int i = 1; i < 400; i++) {
        f.time_sec = 10 + i / 30;
        f.time_usec = (i % 30) * 33000;
        PRELIST_add_tail_vdo(&f);
    }
    EXPECT_EQ(gPREREC_ctrl.eventOn, 0u); // ran its course
    PRELIST_deinit_instance();
}

} // namespace

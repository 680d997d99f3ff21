// FFmpeg as the judge of the files the library writes and repairs, fed with real H.264.
#include "avi/udavi.h"
#include "avi_test_util.h"
#include "testsupport/console.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <random>
#include <sstream>

using namespace avitest;

namespace {

struct Clips {
    TempDir dir;
    std::vector<AccessUnit> main, sub;
};
std::unique_ptr<Clips> g_clips;

class AviFfmpeg : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        g_clips = std::make_unique<Clips>();
        g_clips->main = makeClip(g_clips->dir.path(), 1920, 1080, 60);
        g_clips->sub = makeClip(g_clips->dir.path(), 1280, 720, 60);
    }
    static void TearDownTestSuite() { g_clips.reset(); }
    void SetUp() override
    {
        ASSERT_EQ(g_clips->main.size(), 60u) << "ffmpeg could not make the main clip";
        ASSERT_EQ(g_clips->sub.size(), 60u) << "ffmpeg could not make the sub clip";
        ASSERT_TRUE(g_clips->main[0].key);
        ASSERT_EQ(g_clips->main[0].data[4], 0x27);
        ASSERT_FALSE(g_clips->main[1].key);
    }
    TempDir dir;
};

// ffprobe's per-stream lines "index|codec_type|codec_tag_string|nb_read_packets".
std::vector<std::string> probePackets(const std::string &path, int *status)
{
    std::string out = run("ffprobe -v error -count_packets -show_entries "
                          "stream=index,codec_type,codec_tag_string,nb_read_packets -of csv=p=0 '" +
                              path + "'",
                          status);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

std::string probeFrames(const std::string &path)
{
    return run("ffprobe -v error -count_frames -select_streams v -show_entries "
               "stream=index,nb_read_frames -of csv=p=0 '" +
               path + "'");
}

// Warning-level remarks, less the ones the prescribed text stream header always draws.
std::string unexpectedWarnings(const std::string &path)
{
    std::string out = run(
        "ffprobe -v warning -count_frames -show_entries stream=index -of csv=p=0 '" + path + "'");
    std::istringstream in(out);
    std::string rest;
    for (std::string l; std::getline(in, l);) {
        bool digitsOnly = !l.empty() && l.find_first_not_of("0123456789") == std::string::npos;
        if (digitsOnly || l.find("scale/rate is 100/0") != std::string::npos ||
            l.find("Could not find codec parameters for stream") != std::string::npos ||
            l.find("Unsupported codec with id 0 for input stream") != std::string::npos ||
            l.find("Consider increasing the value for the 'analyzeduration'") != std::string::npos)
            continue;
        rest += l + "\n";
    }
    return rest;
}

std::string decodeErrors(const std::string &path)
{
    return run("ffmpeg -nostdin -v error -i '" + path + "' -f null -");
}

// ffprobe's packet count: N/A for a stream without packets.
std::string packets(size_t n)
{
    return n ? std::to_string(n) : "N/A";
}

size_t countType(const std::vector<Chunk> &c, int type)
{
    size_t n = 0;
    for (const Chunk &x : c)
        n += x.dataType == type;
    return n;
}

struct Config {
    const char *name;
    bool audio, sub;
};

} // namespace

class AviFfmpegConfigs : public AviFfmpeg, public testing::WithParamInterface<Config>
{};

TEST_P(AviFfmpegConfigs, RecordingIsReadAndDecoded)
{
    const Config &c = GetParam();
    std::vector<Chunk> chunks = interleave(g_clips->main, c.sub ? &g_clips->sub : nullptr, c.audio);
    std::string path = dir.file(std::string(c.name) + ".avi");
    ASSERT_TRUE(writeRecording(path, recorderParams(c.audio, c.sub), chunks));

    int status = -1;
    std::vector<std::string> expect;
    int i = 0;
    expect.push_back(std::to_string(i++) + ",video,H264,60");
    if (c.sub)
        expect.push_back(std::to_string(i++) + ",video,H264,60");
    if (c.audio)
        expect.push_back(std::to_string(i++) + ",audio,[7][0][0][0]," +
                         packets(countType(chunks, DATA_TYPE_AUDIO)));
    std::vector<std::string> got = probePackets(path, &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(got.size(), expect.size() + 1) << c.name; // + the text stream
    for (size_t k = 0; k < expect.size(); k++)
        EXPECT_EQ(got[k], expect[k]) << c.name;
    EXPECT_EQ(got.back(), std::to_string(i) + ",subtitle,[0][0][0][0],N/A")
        << "the text stream stays empty";

    EXPECT_EQ(probeFrames(path), c.sub ? "0,60\n1,60\n" : "0,60\n");
    EXPECT_EQ(unexpectedWarnings(path), "") << c.name;
    EXPECT_EQ(decodeErrors(path), "") << c.name;
}

INSTANTIATE_TEST_SUITE_P(Recorder, AviFfmpegConfigs,
                         testing::Values(Config{"main_sub_audio_text", true, true},
                                         Config{"main_audio_text", true, false},
                                         Config{"video_without_audio", false, true}),
                         [](const testing::TestParamInfo<Config> &i) {
                             return std::string(i.param.name);
                         });

// Repair of real recordings cut as a power loss leaves them.
struct Cut {
    const char *name;
    enum { Boundary, HeaderPart, VideoHead, VideoData, AudioData, LastChunk } where;
    size_t chunk;  // which chunk the cut concerns (counted from the last one for LastChunk)
    size_t amount; // bytes of that chunk (header included) that made it
};

class AviFfmpegRepair : public AviFfmpeg, public testing::WithParamInterface<Cut>
{};

TEST_P(AviFfmpegRepair, RepairedFileIsReadAndDecoded)
{
    const Cut &c = GetParam();
    std::vector<Chunk> chunks = interleave(g_clips->main, &g_clips->sub, true);
    std::string full = dir.file("full.avi"), path = dir.file("cut.avi");
    Bytes atOpen;
    ASSERT_TRUE(writeRecording(full, recorderParams(true, true), chunks, &atOpen));
    Bytes closed = readFile(full);
    auto offs = chunkOffsets(closed);
    ASSERT_EQ(offs.size(), chunks.size());

    // Find the chunk the case names.
    size_t k = c.chunk;
    if (c.where == Cut::LastChunk)
        k = chunks.size() - 1 - c.chunk;
    auto isType = [&](size_t n, int t) { return chunks[n].dataType == t; };
    if (c.where == Cut::VideoHead || c.where == Cut::VideoData)
        while (!isType(k, DATA_TYPE_VIDEO_MAIN) && !isType(k, DATA_TYPE_VIDEO_SUB))
            k++;
    if (c.where == Cut::AudioData)
        while (!isType(k, DATA_TYPE_AUDIO))
            k++;
    size_t at = offs[k] + c.amount;
    writeFile(path, powerCut(closed, atOpen, at));

    int rc = printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); }).value;
    ASSERT_EQ(rc, 0) << c.name << ": " << LIBAVI_recoverGetErrMsg();
    Bytes repaired = readFile(path);

    // Which chunks the repair keeps: complete ones, and a cut-short one whose header (and for
    // video, first 5 bytes) made it.
    size_t kept = k;
    if (c.amount >= 8 && (isType(k, DATA_TYPE_AUDIO) || c.amount >= 13))
        kept = k + 1;
    if (c.amount == 0) {
        std::string ref = dir.file("ref.avi");
        ASSERT_TRUE(writeRecording(ref, recorderParams(true, true),
                                   std::vector<Chunk>(chunks.begin(), chunks.begin() + (long)k)));
        EXPECT_TRUE(repaired == readFile(ref)) << c.name << ": not the file a close writes";
    }
    size_t mainFrames = 0, subFrames = 0, audio = 0;
    for (size_t n = 0; n < kept; n++) {
        mainFrames += isType(n, DATA_TYPE_VIDEO_MAIN);
        subFrames += isType(n, DATA_TYPE_VIDEO_SUB);
        audio += isType(n, DATA_TYPE_AUDIO);
    }
    int status = -1;
    std::vector<std::string> got = probePackets(path, &status);
    EXPECT_EQ(status, 0) << c.name;
    ASSERT_EQ(got.size(), 4u) << c.name;
    EXPECT_EQ(got[0], "0,video,H264," + packets(mainFrames)) << c.name;
    EXPECT_EQ(got[1], "1,video,H264," + packets(subFrames)) << c.name;
    EXPECT_EQ(got[2], "2,audio,[7][0][0][0]," + packets(audio)) << c.name;
    EXPECT_EQ(got[3], "3,subtitle,[0][0][0][0],N/A") << c.name;
    const bool cutShortVideo =
        kept == k + 1 && !isType(k, DATA_TYPE_AUDIO) && c.amount < 8 + chunks[k].data.size();
    if (!cutShortVideo) {
        EXPECT_EQ(unexpectedWarnings(path), "") << c.name;
        EXPECT_EQ(decodeErrors(path), "") << c.name;
    } else {
        // The frame cut short is indexed with its stated size and its missing tail reads as
        // zeros; the decoder conceals what is missing of it (and may say so). Every complete
        // frame before it decodes cleanly.
        // FFmpeg hands out the frames of that stream as written, and the complete ones
        // decode cleanly; the other streams decode cleanly in full.
        const int cutType = chunks[k].dataType;
        const std::string v = std::to_string(cutType), es = dir.file("stream.h264");
        EXPECT_EQ(run("ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:" + v +
                      " -c copy -f h264 -y '" + es + "'"),
                  "");
        Bytes got = readFile(es), complete;
        for (size_t n = 0; n < k; n++)
            if (isType(n, cutType))
                complete.insert(complete.end(), chunks[n].data.begin(), chunks[n].data.end());
        ASSERT_EQ(got.size(), complete.size() + chunks[k].data.size()) << c.name;
        EXPECT_TRUE(std::equal(complete.begin(), complete.end(), got.begin())) << c.name;
        writeFile(es, complete);
        EXPECT_EQ(run("ffmpeg -nostdin -v error -f h264 -i '" + es + "' -f null -"), "") << c.name;
        EXPECT_EQ(run("ffmpeg -nostdin -v error -i '" + path +
                      "' -map 0:v:" + std::to_string(1 - cutType) + " -map 0:a -f null -"),
                  "")
            << c.name;
    }

    // A second repair changes nothing.
    EXPECT_EQ(printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); }).value, 0);
    EXPECT_TRUE(readFile(path) == repaired) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cuts, AviFfmpegRepair,
                         testing::Values(Cut{"boundary_after_first", Cut::Boundary, 1, 0},
                                         Cut{"boundary_early", Cut::Boundary, 7, 0},
                                         Cut{"boundary_middle", Cut::Boundary, 61, 0},
                                         Cut{"boundary_before_last", Cut::LastChunk, 0, 0},
                                         Cut{"in_chunk_header_1", Cut::HeaderPart, 20, 1},
                                         Cut{"in_chunk_header_4", Cut::HeaderPart, 33, 4},
                                         Cut{"in_chunk_header_7", Cut::HeaderPart, 90, 7},
                                         Cut{"in_first_5_video_bytes_0", Cut::VideoHead, 40, 8},
                                         Cut{"in_first_5_video_bytes_3", Cut::VideoHead, 55, 11},
                                         Cut{"in_first_5_video_bytes_4", Cut::VideoHead, 70, 12},
                                         Cut{"in_video_data", Cut::VideoData, 45, 8 + 700},
                                         Cut{"in_key_frame_data", Cut::VideoData, 60, 8 + 2000},
                                         Cut{"in_audio_data", Cut::AudioData, 30, 8 + 1000},
                                         Cut{"in_audio_data_end", Cut::AudioData, 100, 8 + 1999},
                                         Cut{"in_last_chunk", Cut::LastChunk, 0, 8 + 3},
                                         Cut{"in_last_video_chunk", Cut::LastChunk, 2, 8 + 20}),
                         [](const testing::TestParamInfo<Cut> &i) {
                             return std::string(i.param.name);
                         });

TEST_F(AviFfmpeg, CutRightAfterMoviHeaderCannotBeRepaired)
{
    std::vector<Chunk> chunks = interleave(g_clips->main, nullptr, true);
    std::string full = dir.file("full.avi"), path = dir.file("cut.avi");
    Bytes atOpen;
    ASSERT_TRUE(writeRecording(full, recorderParams(true, false), chunks, &atOpen));
    writeFile(path, atOpen);
    EXPECT_EQ(printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); }).value, -1);
    EXPECT_STREQ(LIBAVI_recoverGetErrMsg(), "Empty recorded data.\n");
    EXPECT_EQ(readFile(path), atOpen);
}

// Damage on the card to a recording cut short by a power loss. Each case damages the file (its
// chunk headers at `offs`) and returns the damaged byte range; clusters are 32 KiB, as on the
// cards the camera uses.
struct CardDamage {
    const char *name;
    std::pair<size_t, size_t> (*apply)(Bytes &b, const std::vector<size_t> &offs);
};

void PrintTo(const CardDamage &d, std::ostream *os)
{
    *os << d.name;
}

const size_t kCluster = 32768;

void scramble(Bytes &b, size_t from, size_t to, unsigned seed)
{
    std::mt19937 rng(seed);
    for (size_t i = from; i < to; i++)
        b[i] = (uint8_t)rng();
}

class AviFfmpegDamage : public AviFfmpeg, public testing::WithParamInterface<CardDamage>
{};

// The repaired file holds every chunk whose header the damage left alone, as it stands on the
// card: FFmpeg hands out exactly those, byte for byte, whether it reads by the index or, through
// a pipe, chunk after chunk.
TEST_P(AviFfmpegDamage, EveryFrameOutsideTheDamageIsRecovered)
{
    const CardDamage &c = GetParam();
    std::vector<Chunk> chunks = interleave(g_clips->main, &g_clips->sub, true);
    std::string full = dir.file("full.avi"), path = dir.file("damaged.avi");
    Bytes atOpen;
    ASSERT_TRUE(writeRecording(full, recorderParams(true, true), chunks, &atOpen));
    Bytes closed = readFile(full);
    auto offs = chunkOffsets(closed);
    ASSERT_EQ(offs.size(), chunks.size());
    const size_t lastKept = 8 + 2000; // of the last chunk, which the power cut left short
    Bytes b = powerCut(closed, atOpen, offs.back() + lastKept);
    const auto range = c.apply(b, offs);
    writeFile(path, b);

    auto repaired = printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); });
    const std::string &out = repaired.out;
    ASSERT_EQ(repaired.value, 0) << c.name << ": " << LIBAVI_recoverGetErrMsg();
    EXPECT_NE(out.find("Damaged spans skipped: 1, "), std::string::npos) << c.name << "\n" << out;
    Bytes r = readFile(path);
    EXPECT_EQ(completeFileFault(r), "") << c.name;

    // What each stream must hold: the chunks whose header the damage left alone, the ones wholly
    // outside it equal to what the camera wrote, the cut-short last one with its missing tail
    // reading as zeros.
    Bytes expect[3];
    size_t count[3] = {}, lost = 0;
    for (size_t j = 0; j < offs.size(); j++) {
        if (offs[j] + 8 > range.first && offs[j] < range.second) {
            lost++;
            continue;
        }
        const size_t end = offs[j] + 8 + chunks[j].data.size();
        const bool whole = (end <= range.first || offs[j] >= range.second) && j + 1 < offs.size();
        Bytes data =
            whole ? chunks[j].data : Bytes(r.begin() + (long)offs[j] + 8, r.begin() + (long)end);
        const int s = chunks[j].dataType;
        expect[s].insert(expect[s].end(), data.begin(), data.end());
        count[s]++;
    }
    ASSERT_GT(lost, 0u) << c.name << ": the damage hits no chunk header";
    int status = -1;
    std::vector<std::string> got = probePackets(path, &status);
    EXPECT_EQ(status, 0) << c.name;
    ASSERT_EQ(got.size(), 4u) << c.name;
    EXPECT_EQ(got[0], "0,video,H264," + packets(count[0])) << c.name;
    EXPECT_EQ(got[1], "1,video,H264," + packets(count[1])) << c.name;
    EXPECT_EQ(got[2], "2,audio,[7][0][0][0]," + packets(count[2])) << c.name;
    const char *formats[3] = {"h264", "h264", "mulaw"};
    for (int s = 0; s < 3; s++) {
        const std::string es = dir.file("stream.es"), map = " -map 0:" + std::to_string(s);
        run("ffmpeg -nostdin -v quiet -y -i '" + path + "'" + map + " -c copy -f " + formats[s] +
            " '" + es + "'");
        EXPECT_TRUE(readFile(es) == expect[s]) << c.name << ": stream " << s << " by the index";
        run("cat '" + path + "' | ffmpeg -nostdin -v quiet -y -i -" + map + " -c copy -f " +
            formats[s] + " '" + es + "'");
        EXPECT_TRUE(readFile(es) == expect[s]) << c.name << ": stream " << s << " in order";
    }

    EXPECT_EQ(printing([&] { return LIBAVI_recoverFile((char *)path.c_str()); }).value, 0);
    EXPECT_TRUE(readFile(path) == r) << c.name << ": a second repair changed the file";
}

INSTANTIATE_TEST_SUITE_P(
    Card, AviFfmpegDamage,
    testing::Values(CardDamage{"corrupted_identifier",
                               [](Bytes &b, const std::vector<size_t> &o) {
                                   b[o[30] + 2] = 'q';
                                   return std::make_pair(o[30] + 2, o[30] + 3);
                               }},
                    CardDamage{"corrupted_size",
                               [](Bytes &b, const std::vector<size_t> &o) {
                                   b[o[50] + 7] = 0x20;
                                   return std::make_pair(o[50] + 7, o[50] + 8);
                               }},
                    CardDamage{"cluster_of_zeros",
                               [](Bytes &b, const std::vector<size_t> &o) {
                                   // The cluster that holds the header of chunk 61 never reached the card.
                                   const size_t from = o[61] / kCluster * kCluster,
                                                to = from + kCluster;
                                   std::fill(b.begin() + (long)from, b.begin() + (long)to, 0);
                                   return std::make_pair(from, to);
                               }},
                    CardDamage{"random_bytes_over_a_boundary",
                               [](Bytes &b, const std::vector<size_t> &o) {
                                   const size_t from = (o[70] + o[71]) / 2,
                                                to = o[71] + 8 + (o[72] - o[71] - 8) / 2;
                                   scramble(b, from, to, 11);
                                   return std::make_pair(from, to);
                               }},
                    CardDamage{"torn_header_then_the_rest_of_its_cluster",
                               [](Bytes &b, const std::vector<size_t> &o) {
                                   const size_t from = o[90] + 3,
                                                to = (from / kCluster + 1) * kCluster;
                                   scramble(b, from, to, 12);
                                   return std::make_pair(from, to);
                               }}),
    [](const testing::TestParamInfo<CardDamage> &i) { return std::string(i.param.name); });

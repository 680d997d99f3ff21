// The simulated encoders, seen from the application's side of the interface.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <jpeglib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/osa.h"
#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

namespace {

struct Frame {
    uint32_t chnId;
    uint32_t codecType;
    uint32_t frameType;
    uint32_t width;
    uint32_t height;
    uint32_t seqId;
    std::vector<uint8_t> data;
};

OSA_SemHndl g_newData;

int onNewData(void *)
{
    return OSA_semSignal(&g_newData);
}

// Builds the chain of one mode with the platform calls the application makes.
void startChain(uint32_t useCase, bool camera, bool capture, uint32_t mainBitRate,
                const char *clip = nullptr)
{
    sim_reset();
    System_init();
    if (clip != nullptr)
        sim_set_clip(0, clip);
    VSYS_PARAMS_S vs;
    Vsys_params_init(&vs);
    vs.systemUseCase = useCase;
    vs.enableCamera = camera;
    vs.enableCapture = capture;
    vs.enableEncode = 1;
    vs.enableMjpeg = 1;
    Vsys_init(&vs);
    VCAM_PARAMS_S cam;
    Vcam_params_init(&cam);
    cam.width = 1920;
    cam.height = 1080;
    Vcam_init(&cam);
    VCAP_PARAMS_S cap;
    Vcap_params_init(&cap);
    cap.width = 1280;
    cap.height = 720;
    Vcap_init(&cap);
    VENC_PARAMS_S enc;
    Venc_params_init(&enc);
    enc.enableMjpeg = 1;
    Venc_init(&enc);
    OSA_semCreate(&g_newData, 10, 0);
    VENC_CALLBACK_S cb = {onNewData};
    Venc_registerCallback(&cb, nullptr);
    Vsys_create();
    Venc_start();
    VENC_DYNPARAMS_S dyn;
    memset(&dyn, 0, sizeof(dyn));
    dyn.targetBitRate = mainBitRate;
    Venc_setDynamicParam(0, 0, &dyn, VENC_DYN_BITRATE);
}

void stopChain()
{
    Venc_stop();
    Vsys_delete();
    Venc_exit();
    Vsys_exit();
    System_deInit();
    OSA_semDelete(&g_newData);
}

// Takes every frame delivered during `msecs`, releasing each list at once.
std::vector<Frame> collect(uint32_t msecs)
{
    std::vector<Frame> frames;
    VCODEC_BITSBUF_LIST_S *list = new VCODEC_BITSBUF_LIST_S;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(msecs);
    while (std::chrono::steady_clock::now() < until) {
        if (OSA_semWait(&g_newData, 50) != OSA_SOK)
            continue;
        Venc_getBitstreamBuffer(list, 0);
        for (uint32_t i = 0; i < list->numBufs; i++) {
            const VCODEC_BITSBUF_S &b = list->bitsBuf[i];
            const uint8_t *p = static_cast<const uint8_t *>(b.bufVirtAddr);
            frames.push_back({b.chnId, b.codecType, b.frameType, b.frameWidth, b.frameHeight,
                              b.seqId, std::vector<uint8_t>(p, p + b.filledBufSize)});
        }
        Venc_releaseBitstreamBuffer(list);
    }
    delete list;
    return frames;
}

std::vector<const Frame *> ofChannel(const std::vector<Frame> &frames, uint32_t ch)
{
    std::vector<const Frame *> out;
    for (const Frame &f : frames)
        if (f.chnId == ch)
            out.push_back(&f);
    return out;
}

bool jpegDecodes(const std::vector<uint8_t> &data, uint32_t *w, uint32_t *h)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), data.size());
    bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        jpeg_start_decompress(&cinfo);
        std::vector<uint8_t> row(cinfo.output_width * cinfo.output_components);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW r[1] = {row.data()};
            jpeg_read_scanlines(&cinfo, r, 1);
        }
        jpeg_finish_decompress(&cinfo);
        *w = cinfo.image_width;
        *h = cinfo.image_height;
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

TEST(SimEncoder, MainStreamHasKeyFramesEveryThirtyAndTheSizeOfItsBitRate)
{
    startChain(VSYS_USECASE_SINGLE_STREAM, true, false, 10000000);
    std::vector<Frame> frames = collect(2600);
    stopChain();

    std::vector<const Frame *> main = ofChannel(frames, 0);
    ASSERT_GE(main.size(), 61u) << "about 30 frames a second";
    EXPECT_TRUE(ofChannel(frames, 1).empty()) << "no sub stream in a single-stream chain";

    uint64_t bytes = 0;
    uint32_t counted = 0;
    for (size_t i = 0; i < main.size(); i++) {
        const Frame &f = *main[i];
        SCOPED_TRACE("frame " + std::to_string(f.seqId));
        EXPECT_EQ(f.codecType, (uint32_t)VCODEC_TYPE_H264);
        EXPECT_EQ(f.width, 1920u);
        EXPECT_EQ(f.height, 1080u);
        // A slow machine may drop frames; the frame number still counts them.
        bool key = f.seqId % 30 == 0;
        EXPECT_EQ(f.frameType, key ? 0u : 1u);
        ASSERT_GE(f.data.size(), 5u);
        const uint8_t start[4] = {0, 0, 0, 1};
        EXPECT_EQ(memcmp(f.data.data(), start, 4), 0);
        EXPECT_EQ(f.data[4], key ? 0x27 : 0x21) << "SPS first on key frames, else a slice";
        bool isKey = false;
        EXPECT_TRUE(sim_h264_is_access_unit(f.data.data(), (uint32_t)f.data.size(), &isKey));
        EXPECT_EQ(isKey, key);
        if (f.seqId < 60) {
            bytes += f.data.size();
            counted++;
        }
    }
    EXPECT_EQ(main[0]->seqId, 0u);
    ASSERT_EQ(counted, 60u) << "no frame of the first two groups dropped";
    // Two whole groups of 30 frames: 10 Mbit/s at 30 fps is 41 667 bytes a frame on average.
    double avg = (double)bytes / 60.0;
    EXPECT_NEAR(avg, 41667.0, 41667.0 * 0.05);
    EXPECT_GT(main[0]->data.size(), 2 * main[1]->data.size()) << "key frames are larger";
}

TEST(SimEncoder, DualStreamDeliversBothCamerasAndDecodableJpegs)
{
    startChain(VSYS_USECASE_DUAL_STREAM_CAPTURE, false, false, 10000000);
    std::vector<Frame> frames = collect(2300);
    stopChain();

    std::vector<const Frame *> sub = ofChannel(frames, 1);
    ASSERT_GE(sub.size(), 30u);
    EXPECT_EQ(sub[0]->width, 1280u);
    EXPECT_EQ(sub[0]->height, 720u);
    for (uint32_t ch : {2u, 3u}) {
        std::vector<const Frame *> jpegs = ofChannel(frames, ch);
        ASSERT_GE(jpegs.size(), 2u) << "a JPEG at least once a second on channel " << ch;
        uint32_t w = 0, h = 0;
        EXPECT_TRUE(jpegDecodes(jpegs[0]->data, &w, &h));
        EXPECT_EQ(w, ch == 2 ? 1920u : 1280u);
        EXPECT_EQ(h, ch == 2 ? 1080u : 720u);
        EXPECT_NE(jpegs[0]->codecType, (uint32_t)VCODEC_TYPE_H264);
    }
}

TEST(SimEncoder, HeldListsMakeTheEncoderDropFramesInsteadOfGrowing)
{
    startChain(VSYS_USECASE_SINGLE_STREAM, true, false, 10000000);
    VCODEC_BITSBUF_LIST_S *held = new VCODEC_BITSBUF_LIST_S[20];
    uint32_t heldBufs = 0;
    for (int i = 0; i < 20; i++) {
        OSA_waitMsecs(60);
        Venc_getBitstreamBuffer(&held[i], 0);
        heldBufs += held[i].numBufs;
    }
    SimCounters c = sim_counters();
    // The data of every held buffer is still intact: each is a whole access unit.
    for (int i = 0; i < 20; i++) {
        for (uint32_t k = 0; k < held[i].numBufs; k++) {
            const VCODEC_BITSBUF_S &b = held[i].bitsBuf[k];
            if (b.chnId == 0) {
                EXPECT_TRUE(sim_h264_is_access_unit(static_cast<const uint8_t *>(b.bufVirtAddr),
                                                    b.filledBufSize, nullptr));
            }
        }
    }
    for (int i = 0; i < 20; i++)
        Venc_releaseBitstreamBuffer(&held[i]);
    std::vector<Frame> after = collect(500);
    stopChain();
    delete[] held;

    EXPECT_LE(heldBufs, 16u) << "each channel hands out a bounded number of buffers";
    EXPECT_GT(c.dropped[0], 0u);
    EXPECT_FALSE(ofChannel(after, 0).empty()) << "frames flow again once released";
}

// A watcher outside the process (the emulated board's console) learns once a second what the
// encoders have handed out and dropped.
TEST(SimEncoder, ReportsTheFramesHandedOutOnceASecond)
{
    TempDir dir("q7report");
    const std::string path = dir.file("report");
    ASSERT_TRUE(writeText(path, ""));
    setenv("Q7_SIM_REPORT", path.c_str(), 1);
    startChain(VSYS_USECASE_DUAL_STREAM_CAPTURE, false, false, 10000000);
    std::vector<Frame> frames = collect(2500);
    SimCounters c = sim_counters();
    stopChain();
    unsetenv("Q7_SIM_REPORT");

    FILE *f = fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    // One report a line: produced on channels 0 and 1, dropped on channels 0 and 1.
    struct Report {
        unsigned long produced[2], dropped[2];
    };
    std::vector<Report> lines;
    Report r;
    while (fscanf(f, "sim: produced %lu %lu dropped %lu %lu\n", &r.produced[0], &r.produced[1],
                  &r.dropped[0], &r.dropped[1]) == 4)
        lines.push_back(r);
    EXPECT_TRUE(feof(f)) << "every line has the report's form";
    fclose(f);
    ASSERT_GE(lines.size(), 2u);
    ASSERT_LE(lines.size(), 4u) << "one line a second, not one a frame";
    for (size_t i = 1; i < lines.size(); i++) {
        EXPECT_GE(lines[i].produced[0], lines[i - 1].produced[0] + 25)
            << "about 30 main frames between lines";
        EXPECT_GE(lines[i].produced[1], lines[i - 1].produced[1] + 25);
    }
    // The last line is at most a second behind the counters.
    EXPECT_LE(lines.back().produced[0], c.produced[0]);
    EXPECT_GE(lines.back().produced[0] + 31, c.produced[0]);
    EXPECT_EQ(lines.back().dropped[0], c.dropped[0]);
    EXPECT_GE(ofChannel(frames, 0).size() + 1, (size_t)lines.back().produced[0]);
}

TEST(SimEncoder, ClipIsReplayedAsAccessUnitsWithTheBoardsNalHeaders)
{
    // Three access units as an x264-like encoder writes them: 3- and 4-byte start codes,
    // nal_ref_idc 3 on SPS, PPS and IDR, 2 on the P slice.
    std::vector<uint8_t> clip = {
        0, 0, 0, 1,    0x67, 0x42, 0x11, // SPS
        0, 0, 0, 1,    0x68, 0xCE,       // PPS
        0, 0, 1, 0x06, 0x05, 0x01,       // SEI
        0, 0, 1, 0x65, 0x88, 0x84,       // IDR, first_mb 0
        0, 0, 1, 0x41, 0x9A, 0x22,       // P, first_mb 0: a new access unit
        0, 0, 1, 0x41, 0x9A, 0x33,       // another P picture
        0, 0, 1, 0x41, 0x1A, 0x44,       // second slice of that picture (first_mb != 0)
    };
    TempDir dir("q7clip");
    const std::string path = dir.file("clip.h264");
    ASSERT_TRUE(writeFile(path, clip));
    startChain(VSYS_USECASE_SINGLE_STREAM, true, false, 10000000, path.c_str());
    std::vector<Frame> frames = collect(400);
    stopChain();

    std::vector<const Frame *> main = ofChannel(frames, 0);
    ASSERT_GE(main.size(), 6u);
    std::vector<uint8_t> au0 = {0, 0, 0, 1,    0x27, 0x42, 0x11, 0, 0, 0, 1,    0x28, 0xCE, 0,
                                0, 0, 1, 0x06, 0x05, 0x01, 0,    0, 0, 1, 0x25, 0x88, 0x84};
    std::vector<uint8_t> au1 = {0, 0, 0, 1, 0x21, 0x9A, 0x22};
    std::vector<uint8_t> au2 = {0, 0, 0, 1, 0x21, 0x9A, 0x33, 0, 0, 0, 1, 0x21, 0x1A, 0x44};
    EXPECT_EQ(main[0]->data, au0);
    EXPECT_EQ(main[0]->frameType, 0u);
    EXPECT_EQ(main[1]->data, au1);
    EXPECT_EQ(main[1]->frameType, 1u);
    EXPECT_EQ(main[2]->data, au2);
    EXPECT_EQ(main[3]->data, au0) << "the clip loops";
}

std::string run(const std::string &cmd)
{
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (p == nullptr)
        return "popen failed";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

TEST(SimEncoder, RealClipReplayedThroughTheEncoderDecodesWithoutErrorInFfmpeg)
{
    TempDir dir("q7clipdir");
    const std::string clip = dir.file("clip.h264");
    const std::string out = dir.file("out.h264");
    ASSERT_EQ(system(("ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=30 -t 2 "
                      "-c:v libx264 -preset ultrafast -g 30 -bf 0 -x264-params repeat-headers=1 "
                      "-f h264 " +
                      clip)
                         .c_str()),
              0);

    startChain(VSYS_USECASE_SINGLE_STREAM, true, false, 10000000, clip.c_str());
    std::vector<Frame> frames = collect(1500);
    stopChain();

    std::vector<const Frame *> main = ofChannel(frames, 0);
    ASSERT_GE(main.size(), 31u);
    Bytes stream;
    int keys = 0;
    for (const Frame *fr : main) {
        if (fr->frameType == 0) {
            keys++;
            const uint8_t head[5] = {0, 0, 0, 1, 0x27};
            EXPECT_EQ(memcmp(fr->data.data(), head, 5), 0);
        }
        stream.insert(stream.end(), fr->data.begin(), fr->data.end());
    }
    ASSERT_TRUE(writeFile(out, stream));
    EXPECT_GE(keys, 2);
    EXPECT_EQ(run("ffmpeg -v error -f h264 -i " + out + " -f null - 2>&1"), "");
    EXPECT_EQ(run("ffprobe -v error -count_frames -select_streams v -show_entries "
                  "stream=nb_read_frames -of csv=p=0 " +
                  out + " 2>&1"),
              std::to_string(main.size()) + "\n");
}

} // namespace

// Fuzz target: the repair of an arbitrary file, and the playback's chunk walk over it.
// An input whose first byte is odd is taken as the movi data behind a recorder header as it
// stands after open (what a power cut leaves); otherwise it is the whole file.
#include "avi_test_util.h"

#include "avi/avirecover.h"
#include "app/q7_avi_playback.h"
#include "avi/udavi.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_path;
std::vector<uint8_t> g_header; // a recorder file's header at open: up to the movi list header

void walkChunks(const std::string &path)
{
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp)
        return;
    uint8_t head[88 + 12];
    if (fread(head, 1, 88, fp) == 88) {
        uint32_t hdrl;
        memcpy(&hdrl, head + 16, 4);
        off_t movi = 20 + (off_t)hdrl;
        uint8_t list[12];
        if (fseeko(fp, movi, SEEK_SET) == 0 && fread(list, 1, 12, fp) == 12) {
            uint32_t moviSize;
            memcpy(&moviSize, list + 4, 4);
            PB_READER r;
            pb_readerInit(&r, fp, movi, moviSize);
            static uint8_t buf[PB_STAGING_SIZE];
            uint32_t stream, size;
            while (pb_readVideoChunk(&r, buf, sizeof(buf), &stream, &size) == 1) {
                if (stream > 1 || size > sizeof(buf))
                    abort();
            }
        }
    }
    fclose(fp);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The repair's console report would drown the fuzzer's own output.
    if (!freopen("/dev/null", "w", stdout))
        abort();
    g_path = "/tmp/q7avi_fuzz_" + std::to_string(getpid()) + ".avi";
    AVI_SYSTEM_PARAM p = {};
    p.uSystemType = SYSTEM_TYPE_AUDIO_VIDEO;
    p.uChannelMode = CHANNEL_MODE_SUBPIC;
    p.nEnableMeta = 1;
    p.uVideoType = ENCODING_H264;
    p.nMainWidth = 1920;
    p.nMainHeight = 1080;
    p.nSubWidth = 1280;
    p.nSubHeight = 720;
    p.fFrameRate = 30.0 * 1000 / 1001;
    p.nAudioType = ENCODING_ULAW;
    p.nAudioChannel = 1;
    p.nSamplesPerSec = 16000;
    p.nAudioBitRate = 16000;
    p.nAudioFrameSize = 2000;
    void *h = LIBAVI_createAvi((char *)g_path.c_str(), &p);
    if (!h)
        abort();
    g_header = readFile(g_path);
    LIBAVI_closeAvi(h);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> file;
    if (size > 0 && (data[0] & 1)) {
        file = g_header;
        file.insert(file.end(), data + 1, data + size);
    } else if (size > 0) {
        file.assign(data + 1, data + size);
    }
    if (!writeFile(g_path, file))
        abort();
    walkChunks(g_path);

    AVIRC_INFO info;
    const bool readable = AVIrcInspect(g_path.c_str(), &info) == 0;
    const int rc = LIBAVI_recoverFile((char *)g_path.c_str());
    std::vector<uint8_t> once = readFile(g_path);
    if (!readable || !info.needsRepair || rc != 0) {
        // A refusal, or a file that needs no repair: not a byte changes.
        if (once != file)
            abort();
        return 0;
    }
    // The result is a complete file: RIFF and movi sizes agree with it, and every index entry
    // names the chunk at its offset.
    if (!avitest::completeFileFault(once).empty())
        abort();
    // It grows by no more than its index (and the rounding before it) and the missing tail of
    // the one cut-short chunk kept at its stated size, which can only be the last.
    const std::vector<avitest::IndexEntry> idx = avitest::readIndex(once);
    const size_t movi = avitest::moviOffset(once);
    size_t missing = 0;
    for (size_t i = 0; i < idx.size(); i++) {
        const size_t end = movi + 8 + idx[i].offset + 8 + idx[i].length;
        if (end > file.size() && (i + 1 < idx.size() || end - file.size() > AVI_MAX_CHUNK_SIZE))
            abort();
        missing = end > file.size() ? end - file.size() : 0;
    }
    if (once.size() > file.size() + missing + 3 + 8 + 16 * idx.size())
        abort();
    walkChunks(g_path);
    // A second repair changes nothing.
    if (LIBAVI_recoverFile((char *)g_path.c_str()) != 0 || readFile(g_path) != once)
        abort();
    return 0;
}

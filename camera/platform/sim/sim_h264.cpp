// H.264 access units of the simulated encoder: synthetic frames, clips cut into access units,
// and the decoder's check of what it is given.
#include "platform/sim/sim_internal.h"

#include <string.h>

#include <algorithm>

namespace {

enum {
    NAL_SLICE = 1,
    NAL_IDR = 5,
    NAL_SEI = 6,
    NAL_SPS = 7,
    NAL_PPS = 8,
    NAL_AUD = 9,
};

const uint8_t kStartCode[4] = {0, 0, 0, 1};

struct Nal {
    const uint8_t *data; // first byte is the NAL header
    size_t size;
};

// The NAL units of an Annex-B stream (3- or 4-byte start codes).
std::vector<Nal> splitNals(const uint8_t *p, size_t n)
{
    std::vector<Nal> nals;
    size_t i = 0;
    size_t start = SIZE_MAX;
    while (i + 3 <= n) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            if (start != SIZE_MAX) {
                size_t end = i;
                while (end > start && p[end - 1] == 0) // trailing zero of a 4-byte start code
                    end--;
                nals.push_back({p + start, end - start});
            }
            i += 3;
            start = i;
        } else {
            i++;
        }
    }
    if (start != SIZE_MAX && start < n)
        nals.push_back({p + start, n - start});
    return nals;
}

// Pseudo-random payload bytes that never contain a zero byte, so they never emulate a start code.
const uint8_t *payloadPattern()
{
    static uint8_t table[1 << 16];
    static bool made = false;
    if (!made) {
        uint32_t x = 2463534242u;
        for (size_t i = 0; i < sizeof(table); i++) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            table[i] = (uint8_t)(1 + x % 255);
        }
        made = true;
    }
    return table;
}

void appendPayload(std::vector<uint8_t> &out, size_t count, uint64_t seed)
{
    const uint8_t *pat = payloadPattern();
    size_t offset = (size_t)((seed * 7919) & 0xFFFF);
    while (count > 0) {
        size_t chunk = std::min(count, (size_t)65536 - offset);
        out.insert(out.end(), pat + offset, pat + offset + chunk);
        count -= chunk;
        offset = 0;
    }
}

} // namespace

namespace sim {

std::vector<AccessUnit> splitAccessUnits(const std::vector<uint8_t> &stream)
{
    std::vector<AccessUnit> units;
    AccessUnit cur{{}, false};
    bool curHasSlice = false;
    for (const Nal &nal : splitNals(stream.data(), stream.size())) {
        if (nal.size == 0)
            continue;
        int type = nal.data[0] & 0x1F;
        bool isSlice = type == NAL_SLICE || type == NAL_IDR;
        bool firstSliceOfPicture = isSlice && nal.size > 1 && (nal.data[1] & 0x80) != 0;
        bool beginsUnit = (type == NAL_SPS || type == NAL_PPS || type == NAL_SEI ||
                           type == NAL_AUD || firstSliceOfPicture);
        if (beginsUnit && curHasSlice) {
            units.push_back(std::move(cur));
            cur = AccessUnit{{}, false};
            curHasSlice = false;
        }
        cur.bytes.insert(cur.bytes.end(), kStartCode, kStartCode + 4);
        uint8_t header = nal.data[0];
        if (header & 0x60)
            header = (uint8_t)((header & 0x9F) | 0x20); // nal_ref_idc 1, as the board's encoder
        cur.bytes.push_back(header);
        cur.bytes.insert(cur.bytes.end(), nal.data + 1, nal.data + nal.size);
        if (isSlice)
            curHasSlice = true;
        if (type == NAL_IDR)
            cur.key = true;
    }
    if (curHasSlice)
        units.push_back(std::move(cur));
    return units;
}

void makeSyntheticFrame(std::vector<uint8_t> &out, uint32_t size, bool key, uint64_t frameNo)
{
    // Baseline-looking SPS and PPS; the slices carry filler that only has the right size.
    static const uint8_t sps[] = {0,    0,    0,    1,    0x27, 0x42, 0x00,
                                  0x28, 0xE9, 0x01, 0xE0, 0x08, 0x9F, 0x95};
    static const uint8_t pps[] = {0, 0, 0, 1, 0x28, 0xCE, 0x38, 0x80};
    out.clear();
    if (size < 32)
        size = 32;
    if (key) {
        out.insert(out.end(), sps, sps + sizeof(sps));
        out.insert(out.end(), pps, pps + sizeof(pps));
        out.insert(out.end(), kStartCode, kStartCode + 4);
        out.push_back(0x25); // IDR slice
    } else {
        out.insert(out.end(), kStartCode, kStartCode + 4);
        out.push_back(0x21); // non-IDR slice
    }
    out.push_back(0x88); // first_mb_in_slice 0
    appendPayload(out, size - out.size(), frameNo);
}

} // namespace sim

bool sim_h264_is_access_unit(const uint8_t *data, uint32_t size, bool *isKey)
{
    if (isKey != nullptr)
        *isKey = false;
    if (data == nullptr || size < 5)
        return false;
    bool startsWithCode = (data[0] == 0 && data[1] == 0 && data[2] == 1) ||
                          (data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
    if (!startsWithCode)
        return false;
    bool hasSlice = false;
    bool key = false;
    for (const Nal &nal : splitNals(data, size)) {
        if (nal.size == 0 || (nal.data[0] & 0x80) != 0) // forbidden_zero_bit
            return false;
        int type = nal.data[0] & 0x1F;
        if (type == NAL_SLICE || type == NAL_IDR)
            hasSlice = true;
        if (type == NAL_IDR)
            key = true;
    }
    if (isKey != nullptr)
        *isKey = key;
    return hasSlice;
}

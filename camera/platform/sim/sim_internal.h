// State shared by the parts of the simulated board.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/sim_board.h"
#include "platform/video_platform.h"

namespace sim {

// Appends one line to the log of platform calls (printf-style).
void log(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

void countProduced(int channel, bool dropped);
void countDecoded(int channel, bool wellFormed);

// The use case and sizes the chain was built with, for the encoder and decoder.
struct ChainInfo {
    bool created;
    VSYS_PARAMS_S vsys;
    VCAM_PARAMS_S vcam;
    VCAP_PARAMS_S vcap;
};
ChainInfo chainInfo(void);
std::string clipPath(int channel);

// Motion detection state set through the encoder, read by the event source.
void setMotion(int channel, bool on);

// H.264 access units.
struct AccessUnit {
    std::vector<uint8_t> bytes;
    bool key;
};
// Splits an Annex-B stream into access units, each beginning with a 4-byte start code, with
// the reference NAL headers rewritten to nal_ref_idc 1 (SPS 0x27) as this board's encoder writes.
std::vector<AccessUnit> splitAccessUnits(const std::vector<uint8_t> &stream);
// A synthetic access unit of `size` bytes (at least 32): SPS, PPS and IDR slice for a key frame,
// one non-IDR slice otherwise.
void makeSyntheticFrame(std::vector<uint8_t> &out, uint32_t size, bool key, uint64_t frameNo);

// A JPEG image of a colour pattern, cached per size and channel.
const std::vector<uint8_t> &jpegImage(uint32_t width, uint32_t height, int channel);

void encoderShutdown(void);
void decoderShutdown(void);

} // namespace sim

// The simulated camera board: stands in for the video co-processors on a PC. This header is
// the inspection interface that tests use to see what the board was asked to do and to set
// how it answers. The program itself only calls video_platform.h.
//
// Configuration from the environment (read by System_init):
//   Q7_SIM_LOG=FILE           append every logged platform call to FILE as well
//   Q7_SIM_REPORT=FILE        append, once a second, the frames encoder channels 0 and 1 have
//                             handed out and dropped: "sim: produced P0 P1 dropped D0 D1"
//   Q7_SIM_MAIN_CAM_FAIL=1    Vsys_get_device_status reports the main camera as failed
//   Q7_SIM_SUB_CAM_FAIL=1     ... the sub camera
//   Q7_SIM_CLIP0=FILE, Q7_SIM_CLIP1=FILE
//                             Annex-B H.264 clip replayed (looped) on encoder channel 0 / 1
//                             instead of the synthetic frames
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct SimCounters {
    uint64_t produced[4]; // encoded frames handed out, per encoder channel
    uint64_t dropped[4];  // frames dropped because every buffer of the channel was held
    uint64_t decoded[2];  // well-formed access units decoded, per decoder channel
    uint64_t decodeErrors[2];
};

// Forgets the log and the counters and resets the configuration to the environment's.
void sim_reset(void);
// The ordered log of platform calls, one line each: the operation's name, then key=value pairs.
std::vector<std::string> sim_log(void);
// Lines of the log that begin with `prefix` (for example "Venc_setDynamicParam").
std::vector<std::string> sim_log_grep(const std::string &prefix);
SimCounters sim_counters(void);

void sim_set_device_status(uint32_t subStatus, uint32_t mainStatus);
void sim_set_clip(int channel, const char *path); // nullptr: synthetic frames again

// What a synthetic H.264 frame looks like; exposed for the tests of the encoder.
bool sim_h264_is_access_unit(const uint8_t *data, uint32_t size, bool *isKey);

// Digital output test thread, and the request record of the board's I/O driver "/dev/q7_io",
// which the GPS receiver uses too.
#pragma once

#include <stdint.h>
#include <sys/ioctl.h>

#include "platform/thread_ctrl.h"

// One request to the I/O driver: a configure ioctl sets a line's direction and value, a write of
// the record sets the value of a configured line.
struct Q7_IO_REQ {
    uint32_t line;
    uint32_t dir; // 1: output
    uint32_t unused;
    uint32_t value;
};
static_assert(sizeof(Q7_IO_REQ) == 16, "the driver takes 16-byte requests");

#define Q7_IO_CONFIG _IOW('g', 1, Q7_IO_REQ)

#define Q7_IO_OUT_COUNT 13
// The digital outputs in the order the test visits them.
extern const uint8_t q7_io_out[Q7_IO_OUT_COUNT];

// Configures `line` as an output with `value`. The driver's answer is not checked by the callers.
int dio_config_output(int fd, uint32_t line, uint32_t value);
// Sets the value of an output line configured before. Returns the result of the write.
int dio_set_output(int fd, uint32_t line, uint32_t value);

// The thread body: configure the outputs, then sweep them until `quit`. Returns 0.
int dio_main(ThreadCtrl *ctrl);
int dio_thr_create(ThreadCtrl *ctrl);

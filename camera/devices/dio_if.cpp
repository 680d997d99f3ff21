#include "devices/dio_if.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "devices/dev_thread.h"
#include "platform/board_path.h"

static_assert(Q7_IO_CONFIG == 0x40106701, "configure request of the I/O driver");

const uint8_t q7_io_out[Q7_IO_OUT_COUNT] = {96,  97,  98,  101, 102, 109, 118,
                                            110, 111, 112, 113, 87,  108};

namespace {

const uint32_t kStepMsecs = DEV_QUIT_LATENCY_MSECS;

Q7_IO_REQ outputRequest(uint32_t line, uint32_t value)
{
    Q7_IO_REQ io;
    io.line = line;
    io.dir = 1;
    io.unused = 0;
    io.value = value;
    return io;
}

} // namespace

int dio_config_output(int fd, uint32_t line, uint32_t value)
{
    Q7_IO_REQ io = outputRequest(line, value);
    return ioctl(fd, Q7_IO_CONFIG, &io);
}

int dio_set_output(int fd, uint32_t line, uint32_t value)
{
    Q7_IO_REQ io = outputRequest(line, value);
    return (int)write(fd, &io, sizeof(io));
}

int dio_main(ThreadCtrl *ctrl)
{
    int fd = open(board_path("/dev/q7_io").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        puts(" [app] err: fd open");
        return 0;
    }

    for (int i = 0; i < Q7_IO_OUT_COUNT; i++)
        dio_config_output(fd, q7_io_out[i], 0);

    // A stop request is seen between the steps of a sweep; a line that is on is switched off
    // before the test ends.
    bool stop = thr_ctrl_quit_requested(ctrl);
    while (!stop) {
        for (int i = 0; i < Q7_IO_OUT_COUNT && !stop; i++) {
            dio_set_output(fd, q7_io_out[i], 1);
            OSA_waitMsecs(kStepMsecs);
            dio_set_output(fd, q7_io_out[i], 0);
            stop = thr_ctrl_quit_requested(ctrl);
            if (stop)
                break;
            OSA_waitMsecs(kStepMsecs);
            stop = thr_ctrl_quit_requested(ctrl);
        }
    }

    close(fd);
    return 0;
}

int dio_thr_create(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, dio_main);
}

#include "devices/bma.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "devices/dev_thread.h"
#include "platform/board_path.h"

namespace {

const uint32_t kReportPauseMsecs = 100;

} // namespace

int bma_handle_event(BMA_AXES *axes, const struct input_event *ev)
{
    if (ev->type == EV_SYN) {
        printf("BMA : X = %03d, Y = %03d, Z = %03d\n", (int)axes->x, (int)axes->y, (int)axes->z);
        return 1;
    }
    if (ev->type == EV_ABS) {
        if (ev->code == ABS_X)
            axes->x = ev->value;
        else if (ev->code == ABS_Y)
            axes->y = ev->value;
        else if (ev->code == ABS_Z)
            axes->z = ev->value;
    }
    return 0;
}

int bma_exit(int fd)
{
    return close(fd);
}

int bma_main(ThreadCtrl *ctrl)
{
    // Not blocking, so that neither the open nor a read waits past a stop request.
    int fd = open(board_path("/dev/input/event1").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        perror("device open failed!!");
        return 0;
    }

    char name[256] = "Unknown";
    ioctl(fd, EVIOCGNAME(sizeof(name)), name);
    name[sizeof(name) - 1] = '\0';
    printf("Input device name: \"%s\"\n", name);

    BMA_AXES axes = {0, 0, 0};
    // Reads wait for the device at most DEV_QUIT_LATENCY_MSECS, so a silent sensor is stopped too.
    while (!thr_ctrl_quit_requested(ctrl)) {
        int ready = dev_wait_readable(ctrl, fd, DEV_QUIT_LATENCY_MSECS);
        if (ready == 0)
            continue;
        struct input_event ev;
        ssize_t got = ready < 0 ? -1 : read(fd, &ev, sizeof(ev));
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got < (ssize_t)sizeof(ev)) {
            perror("\nevtest: error reading");
            break;
        }
        if (bma_handle_event(&axes, &ev))
            OSA_waitMsecs(kReportPauseMsecs);
    }

    bma_exit(fd);
    return 0;
}

int bma_thr_create(ThreadCtrl *ctrl)
{
    return thr_ctrl_create(ctrl, bma_main);
}

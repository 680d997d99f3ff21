#include "devices/dev_thread.h"

#include <errno.h>
#include <poll.h>

int dev_wait_readable(ThreadCtrl *ctrl, int fd, int msecs)
{
    if (thr_ctrl_quit_requested(ctrl))
        return 0;
    pollfd pfd;
    pfd.fd = fd;
    pfd.events = POLLIN;
    pfd.revents = 0;
    int n = poll(&pfd, 1, msecs);
    if (n < 0)
        return errno == EINTR ? 0 : -1;
    // A hang-up or an error is for the read to find out about.
    return n > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) ? 1 : 0;
}

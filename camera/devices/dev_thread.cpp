#include "devices/dev_thread.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>

namespace {

const uint32_t kDeviceThreadStack = 51200;
// A thread sees a stop within DEV_QUIT_LATENCY_MSECS; the rest is room for a loaded board.
const int kEndWaitMsecs = 4 * DEV_QUIT_LATENCY_MSECS;
const uint32_t kEndPollMsecs = 10;

bool threadRuns(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    bool runs = ctrl->thrHndl.valid != 0;
    OSA_mutexUnlock(&ctrl->lock);
    return runs;
}

} // namespace

bool dev_thr_stop(ThreadCtrl *ctrl, int msecs)
{
    OSA_mutexLock(&ctrl->lock);
    bool runs = ctrl->thrHndl.valid != 0;
    if (runs)
        ctrl->quit = 1;
    OSA_mutexUnlock(&ctrl->lock);
    for (int waited = 0; runs && waited < msecs; waited += (int)kEndPollMsecs) {
        OSA_waitMsecs(kEndPollMsecs);
        runs = threadRuns(ctrl);
    }
    return !runs;
}

int dev_thr_create(ThreadCtrl *ctrl, OSA_ThrEntryFunc entry)
{
    if (!dev_thr_stop(ctrl, kEndWaitMsecs)) {
        puts(" [app] err: the previous run of this test has not ended yet; try again");
        return OSA_EFAIL;
    }
    // No thread of this record runs now, so nobody holds the lock that is made here.
    int status = OSA_mutexCreate(&ctrl->lock);
    OSA_assert(status == OSA_SOK);

    // The new thread's first look at `quit` and its end both wait for this lock, so they never
    // see the handle half written.
    OSA_mutexLock(&ctrl->lock);
    ctrl->quit = 0;
    status = OSA_thrCreate(&ctrl->thrHndl, entry, OSA_thrMidPriority(), kDeviceThreadStack, ctrl);
    OSA_mutexUnlock(&ctrl->lock);
    OSA_assert(status == OSA_SOK);
    return status;
}

bool dev_quit_requested(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    bool quit = ctrl->quit != 0;
    OSA_mutexUnlock(&ctrl->lock);
    return quit;
}

int dev_wait_readable(ThreadCtrl *ctrl, int fd, int msecs)
{
    if (dev_quit_requested(ctrl))
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

void dev_thr_exit(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    int status = OSA_thrDelete(&ctrl->thrHndl);
    OSA_mutexUnlock(&ctrl->lock);
    OSA_assert(status == OSA_SOK);
}

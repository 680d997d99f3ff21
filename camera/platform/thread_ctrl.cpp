#include "platform/thread_ctrl.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

const uint32_t kThreadStack = 51200;
// Device and sound threads look at `quit` at least every half second; the rest is room for a
// loaded board.
const int kEndWaitMsecs = 2000;
const uint32_t kEndPollMsecs = 10;

struct ThreadStart {
    ThreadCtrl *ctrl;
    ThreadCtrlBody body;
};

bool threadRuns(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    bool runs = ctrl->thrHndl.valid != 0;
    OSA_mutexUnlock(&ctrl->lock);
    return runs;
}

// The thread's last act: it deletes its own handle. `lock` stays usable, because the menu sets
// `quit` under it even after the thread has ended by itself.
void threadExit(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    int status = OSA_thrDelete(&ctrl->thrHndl);
    OSA_mutexUnlock(&ctrl->lock);
    OSA_assert(status == OSA_SOK);
}

void *threadMain(void *arg)
{
    ThreadStart start = *static_cast<ThreadStart *>(arg);
    free(arg);
    start.body(start.ctrl);
    threadExit(start.ctrl);
    return nullptr;
}

} // namespace

bool thr_ctrl_stop(ThreadCtrl *ctrl, int msecs)
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

int thr_ctrl_create(ThreadCtrl *ctrl, ThreadCtrlBody body)
{
    if (!thr_ctrl_stop(ctrl, kEndWaitMsecs)) {
        puts(" [app] err: the previous run of this test has not ended yet; try again");
        return OSA_EFAIL;
    }
    ThreadStart *start = static_cast<ThreadStart *>(malloc(sizeof(ThreadStart)));
    OSA_assert(start != nullptr);
    start->ctrl = ctrl;
    start->body = body;

    // No thread of this record runs now, so nobody holds the lock that is made here.
    int status = OSA_mutexCreate(&ctrl->lock);
    OSA_assert(status == OSA_SOK);

    // The new thread's first look at `quit` and its end both wait for this lock, so they never
    // see the handle half written.
    OSA_mutexLock(&ctrl->lock);
    ctrl->quit = 0;
    status = OSA_thrCreate(&ctrl->thrHndl, threadMain, OSA_thrMidPriority(), kThreadStack, start);
    OSA_mutexUnlock(&ctrl->lock);
    if (status != OSA_SOK)
        free(start);
    OSA_assert(status == OSA_SOK);
    return status;
}

int thr_ctrl_set_quit(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    ctrl->quit = 1;
    return OSA_mutexUnlock(&ctrl->lock);
}

bool thr_ctrl_quit_requested(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    bool quit = ctrl->quit != 0;
    OSA_mutexUnlock(&ctrl->lock);
    return quit;
}

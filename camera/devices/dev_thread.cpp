#include "devices/dev_thread.h"

namespace {

const uint32_t kDeviceThreadStack = 51200;

} // namespace

int dev_thr_create(ThreadCtrl *ctrl, OSA_ThrEntryFunc entry)
{
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

void dev_thr_exit(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    int status = OSA_thrDelete(&ctrl->thrHndl);
    OSA_mutexUnlock(&ctrl->lock);
    OSA_assert(status == OSA_SOK);
}

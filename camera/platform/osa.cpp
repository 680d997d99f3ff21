#include "platform/osa.h"

#include <errno.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <new>

namespace {

// Stacks below what the C library (and, in checked builds, the sanitizers) need would crash
// on a PC; the requested size is a floor there, as on the board.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
const size_t kMinStack = 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
const size_t kMinStack = 1024 * 1024;
#else
const size_t kMinStack = 64 * 1024;
#endif
#else
const size_t kMinStack = 64 * 1024;
#endif

std::atomic<bool> g_noRtSaid{false};

void condInitMonotonic(pthread_cond_t *cond)
{
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(cond, &attr);
    pthread_condattr_destroy(&attr);
}

timespec deadlineAfter(int32_t msecs)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += msecs / 1000;
    ts.tv_nsec += (long)(msecs % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

// Waits on `cond` until `ready()` holds or the timeout passes; `lock` is held by the caller.
template <typename Ready>
int waitUntil(pthread_cond_t *cond, pthread_mutex_t *lock, int32_t timeout, Ready ready)
{
    if (timeout == OSA_TIMEOUT_FOREVER) {
        while (!ready())
            pthread_cond_wait(cond, lock);
        return OSA_SOK;
    }
    if (timeout == OSA_TIMEOUT_NONE)
        return ready() ? OSA_SOK : OSA_ETIMEOUT;
    timespec until = deadlineAfter(timeout);
    while (!ready()) {
        if (pthread_cond_timedwait(cond, lock, &until) == ETIMEDOUT)
            return ready() ? OSA_SOK : OSA_ETIMEOUT;
    }
    return OSA_SOK;
}

} // namespace

int OSA_thrCreate(OSA_ThrHndl *hndl, OSA_ThrEntryFunc entry, int pri, uint32_t stackSize, void *arg)
{
    if (hndl == nullptr || entry == nullptr)
        return OSA_EFAIL;
    memset(hndl, 0, sizeof(*hndl));

    size_t stack = stackSize;
    if (stack != 0 && stack < kMinStack)
        stack = kMinStack;

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (stack != 0)
        pthread_attr_setstacksize(&attr, stack);
    pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attr, SCHED_FIFO);
    sched_param prm;
    memset(&prm, 0, sizeof(prm));
    prm.sched_priority = pri;
    pthread_attr_setschedparam(&attr, &prm);

    int err = pthread_create(&hndl->hndl, &attr, entry, arg);
    if (err == EPERM || err == EINVAL) {
        // No real-time scheduling for this process (an ordinary PC user): run it anyway.
        if (!g_noRtSaid.exchange(true))
            printf(" [osa] real-time scheduling is not permitted here, threads run with the "
                   "default policy\n");
        pthread_attr_setinheritsched(&attr, PTHREAD_INHERIT_SCHED);
        err = pthread_create(&hndl->hndl, &attr, entry, arg);
    }
    pthread_attr_destroy(&attr);
    if (err != 0)
        return OSA_EFAIL;
    hndl->valid = 1;
    return OSA_SOK;
}

int OSA_thrDelete(OSA_ThrHndl *hndl)
{
    if (hndl == nullptr || !hndl->valid)
        return OSA_EFAIL;
    int err;
    if (pthread_equal(hndl->hndl, pthread_self()))
        err = pthread_detach(hndl->hndl);
    else
        err = pthread_join(hndl->hndl, nullptr);
    hndl->valid = 0;
    return err == 0 ? OSA_SOK : OSA_EFAIL;
}

int OSA_thrMidPriority(void)
{
    int lo = sched_get_priority_min(SCHED_FIFO);
    int hi = sched_get_priority_max(SCHED_FIFO);
    return lo + (hi - lo) / 2;
}

int OSA_mutexCreate(OSA_MutexHndl *hndl)
{
    return pthread_mutex_init(&hndl->lock, nullptr) == 0 ? OSA_SOK : OSA_EFAIL;
}

int OSA_mutexDelete(OSA_MutexHndl *hndl)
{
    return pthread_mutex_destroy(&hndl->lock) == 0 ? OSA_SOK : OSA_EFAIL;
}

int OSA_mutexLock(OSA_MutexHndl *hndl)
{
    return pthread_mutex_lock(&hndl->lock) == 0 ? OSA_SOK : OSA_EFAIL;
}

int OSA_mutexUnlock(OSA_MutexHndl *hndl)
{
    return pthread_mutex_unlock(&hndl->lock) == 0 ? OSA_SOK : OSA_EFAIL;
}

int OSA_semCreate(OSA_SemHndl *hndl, uint32_t maxCount, uint32_t initVal)
{
    if (hndl == nullptr || maxCount == 0)
        return OSA_EFAIL;
    pthread_mutex_init(&hndl->lock, nullptr);
    condInitMonotonic(&hndl->cond);
    hndl->maxCount = maxCount;
    hndl->count = initVal > maxCount ? maxCount : initVal;
    return OSA_SOK;
}

int OSA_semWait(OSA_SemHndl *hndl, int32_t timeout)
{
    pthread_mutex_lock(&hndl->lock);
    int ret = waitUntil(&hndl->cond, &hndl->lock, timeout, [hndl] { return hndl->count > 0; });
    if (ret == OSA_SOK)
        hndl->count--;
    pthread_mutex_unlock(&hndl->lock);
    return ret;
}

int OSA_semSignal(OSA_SemHndl *hndl)
{
    pthread_mutex_lock(&hndl->lock);
    if (hndl->count < hndl->maxCount) {
        hndl->count++;
        pthread_cond_signal(&hndl->cond);
    }
    pthread_mutex_unlock(&hndl->lock);
    return OSA_SOK;
}

int OSA_semDelete(OSA_SemHndl *hndl)
{
    pthread_cond_destroy(&hndl->cond);
    pthread_mutex_destroy(&hndl->lock);
    return OSA_SOK;
}

int OSA_queCreate(OSA_QueHndl *hndl, uint32_t maxLen)
{
    if (hndl == nullptr || maxLen == 0)
        return OSA_EFAIL;
    memset(hndl, 0, sizeof(*hndl));
    hndl->queue = new (std::nothrow) uintptr_t[maxLen];
    if (hndl->queue == nullptr)
        return OSA_EFAIL;
    hndl->len = maxLen;
    pthread_mutex_init(&hndl->lock, nullptr);
    condInitMonotonic(&hndl->condRd);
    condInitMonotonic(&hndl->condWr);
    return OSA_SOK;
}

int OSA_quePut(OSA_QueHndl *hndl, uintptr_t value, int32_t timeout)
{
    pthread_mutex_lock(&hndl->lock);
    int ret =
        waitUntil(&hndl->condWr, &hndl->lock, timeout, [hndl] { return hndl->count < hndl->len; });
    if (ret == OSA_SOK) {
        hndl->queue[hndl->curWr] = value;
        hndl->curWr = (hndl->curWr + 1) % hndl->len;
        hndl->count++;
        pthread_cond_signal(&hndl->condRd);
    }
    pthread_mutex_unlock(&hndl->lock);
    return ret;
}

int OSA_queGet(OSA_QueHndl *hndl, uintptr_t *value, int32_t timeout)
{
    pthread_mutex_lock(&hndl->lock);
    int ret = waitUntil(&hndl->condRd, &hndl->lock, timeout, [hndl] { return hndl->count > 0; });
    if (ret == OSA_SOK) {
        *value = hndl->queue[hndl->curRd];
        hndl->curRd = (hndl->curRd + 1) % hndl->len;
        hndl->count--;
        pthread_cond_signal(&hndl->condWr);
    }
    pthread_mutex_unlock(&hndl->lock);
    return ret;
}

uint32_t OSA_queGetQueuedCount(OSA_QueHndl *hndl)
{
    pthread_mutex_lock(&hndl->lock);
    uint32_t n = hndl->count;
    pthread_mutex_unlock(&hndl->lock);
    return n;
}

int OSA_queDelete(OSA_QueHndl *hndl)
{
    pthread_cond_destroy(&hndl->condRd);
    pthread_cond_destroy(&hndl->condWr);
    pthread_mutex_destroy(&hndl->lock);
    delete[] hndl->queue;
    hndl->queue = nullptr;
    return OSA_SOK;
}

void OSA_waitMsecs(uint32_t msecs)
{
    timespec ts;
    ts.tv_sec = msecs / 1000;
    ts.tv_nsec = (long)(msecs % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void OSA_assertFail(const char *file, const char *func, int line)
{
    const char *base = strrchr(file, '/');
    fprintf(stderr, " ASSERT (%s|%s|%d)\r\n", base ? base + 1 : file, func, line);
    fflush(stderr);
    if (syscall(SYS_gettid) != getpid())
        return;
    // Hold here until the operator has read it and typed q; at the end of input, go on.
    int c;
    while ((c = getchar()) != EOF && c != 'q') {
    }
}

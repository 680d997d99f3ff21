#include <gtest/gtest.h>

#include <sched.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <atomic>
#include <chrono>

#include "platform/osa.h"

namespace {

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since)
{
    return (long)std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since)
        .count();
}

TEST(OsaQueue, HoldsItsCapacityInOrderAndRefusesMoreWithoutWaiting)
{
    OSA_QueHndl q;
    ASSERT_EQ(OSA_queCreate(&q, 10), OSA_SOK);
    for (uintptr_t i = 0; i < 10; i++)
        ASSERT_EQ(OSA_quePut(&q, i + 100, OSA_TIMEOUT_NONE), OSA_SOK);
    EXPECT_EQ(OSA_queGetQueuedCount(&q), 10u);
    EXPECT_EQ(OSA_quePut(&q, 999, OSA_TIMEOUT_NONE), OSA_ETIMEOUT);

    for (uintptr_t i = 0; i < 10; i++) {
        uintptr_t v = 0;
        ASSERT_EQ(OSA_queGet(&q, &v, OSA_TIMEOUT_NONE), OSA_SOK);
        EXPECT_EQ(v, i + 100);
    }
    uintptr_t v = 7;
    EXPECT_EQ(OSA_queGet(&q, &v, OSA_TIMEOUT_NONE), OSA_ETIMEOUT);
    EXPECT_EQ(v, 7u);
    OSA_queDelete(&q);
}

struct QueuePair {
    OSA_QueHndl q;
    uint32_t delayMs;
    uintptr_t value;
};

void *putLater(void *arg)
{
    QueuePair *p = static_cast<QueuePair *>(arg);
    OSA_waitMsecs(p->delayMs);
    OSA_quePut(&p->q, p->value, OSA_TIMEOUT_FOREVER);
    return nullptr;
}

void *getLater(void *arg)
{
    QueuePair *p = static_cast<QueuePair *>(arg);
    OSA_waitMsecs(p->delayMs);
    uintptr_t v;
    OSA_queGet(&p->q, &v, OSA_TIMEOUT_FOREVER);
    return nullptr;
}

TEST(OsaQueue, WaitForeverBlocksUntilAnotherThreadPutsOrTakes)
{
    QueuePair p;
    ASSERT_EQ(OSA_queCreate(&p.q, 1), OSA_SOK);
    p.delayMs = 150;
    p.value = 42;

    OSA_ThrHndl thr;
    Clock::time_point start = Clock::now();
    ASSERT_EQ(OSA_thrCreate(&thr, putLater, 1, 0, &p), OSA_SOK);
    uintptr_t v = 0;
    ASSERT_EQ(OSA_queGet(&p.q, &v, OSA_TIMEOUT_FOREVER), OSA_SOK);
    EXPECT_EQ(v, 42u);
    EXPECT_GE(elapsedMs(start), 140);
    OSA_thrDelete(&thr);

    // Full queue: a put waits until the other thread has taken the item.
    ASSERT_EQ(OSA_quePut(&p.q, 1, OSA_TIMEOUT_NONE), OSA_SOK);
    start = Clock::now();
    ASSERT_EQ(OSA_thrCreate(&thr, getLater, 1, 0, &p), OSA_SOK);
    ASSERT_EQ(OSA_quePut(&p.q, 2, OSA_TIMEOUT_FOREVER), OSA_SOK);
    EXPECT_GE(elapsedMs(start), 140);
    OSA_thrDelete(&thr);
    OSA_queDelete(&p.q);
}

TEST(OsaQueue, TimedGetGivesUpAfterItsTimeout)
{
    OSA_QueHndl q;
    ASSERT_EQ(OSA_queCreate(&q, 2), OSA_SOK);
    uintptr_t v;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(OSA_queGet(&q, &v, 100), OSA_ETIMEOUT);
    EXPECT_GE(elapsedMs(start), 95);
    OSA_queDelete(&q);
}

TEST(OsaSemaphore, NeverCountsAboveItsMaximum)
{
    OSA_SemHndl sem;
    ASSERT_EQ(OSA_semCreate(&sem, 10, 0), OSA_SOK);
    EXPECT_EQ(OSA_semWait(&sem, OSA_TIMEOUT_NONE), OSA_ETIMEOUT);
    for (int i = 0; i < 15; i++)
        OSA_semSignal(&sem);
    int taken = 0;
    while (OSA_semWait(&sem, OSA_TIMEOUT_NONE) == OSA_SOK)
        taken++;
    EXPECT_EQ(taken, 10);
    OSA_semDelete(&sem);
}

struct SemPair {
    OSA_SemHndl sem;
};

void *signalLater(void *arg)
{
    OSA_waitMsecs(120);
    OSA_semSignal(&static_cast<SemPair *>(arg)->sem);
    return nullptr;
}

TEST(OsaSemaphore, WaitForeverReturnsOnTheSignalOfAnotherThread)
{
    SemPair p;
    ASSERT_EQ(OSA_semCreate(&p.sem, 10, 0), OSA_SOK);
    OSA_ThrHndl thr;
    Clock::time_point start = Clock::now();
    ASSERT_EQ(OSA_thrCreate(&thr, signalLater, 1, 0, &p), OSA_SOK);
    EXPECT_EQ(OSA_semWait(&p.sem, OSA_TIMEOUT_FOREVER), OSA_SOK);
    EXPECT_GE(elapsedMs(start), 110);
    OSA_thrDelete(&thr);
    OSA_semDelete(&p.sem);
}

TEST(OsaMutex, ZeroFilledRecordIsAUsableUnlockedMutex)
{
    OSA_MutexHndl m;
    memset(&m, 0, sizeof(m));
    ASSERT_EQ(OSA_mutexLock(&m), OSA_SOK);
    EXPECT_NE(pthread_mutex_trylock(&m.lock), 0); // held
    ASSERT_EQ(OSA_mutexUnlock(&m), OSA_SOK);
    EXPECT_EQ(pthread_mutex_trylock(&m.lock), 0);
    pthread_mutex_unlock(&m.lock);
}

struct ThreadProbe {
    std::atomic<int> policy{-1};
    std::atomic<int> priority{-1};
    OSA_ThrHndl self;
    std::atomic<bool> created{false};
    std::atomic<bool> selfDeleted{false};
};

void *probeThread(void *arg)
{
    ThreadProbe *p = static_cast<ThreadProbe *>(arg);
    int policy;
    sched_param prm;
    pthread_getschedparam(pthread_self(), &policy, &prm);
    p->policy = policy;
    p->priority = prm.sched_priority;
    return nullptr;
}

TEST(OsaThread, RunsWithTheFifoPolicyWhereAllowedAndAtAllElse)
{
    ThreadProbe p;
    OSA_ThrHndl thr;
    int mid = OSA_thrMidPriority();
    EXPECT_EQ(mid,
              sched_get_priority_min(SCHED_FIFO) +
                  (sched_get_priority_max(SCHED_FIFO) - sched_get_priority_min(SCHED_FIFO)) / 2);
    ASSERT_EQ(OSA_thrCreate(&thr, probeThread, mid, 51200, &p), OSA_SOK);
    ASSERT_EQ(OSA_thrDelete(&thr), OSA_SOK);
    // Either real-time at the asked priority, or (an ordinary user) the default policy.
    if (p.policy == SCHED_FIFO)
        EXPECT_EQ(p.priority, mid);
    else
        EXPECT_EQ(p.policy, SCHED_OTHER);
}

void *deleteSelf(void *arg)
{
    ThreadProbe *p = static_cast<ThreadProbe *>(arg);
    while (!p->created)
        OSA_waitMsecs(1);
    p->selfDeleted = OSA_thrDelete(&p->self) == OSA_SOK;
    return nullptr;
}

TEST(OsaThread, AThreadMayDeleteItsOwnHandle)
{
    ThreadProbe p;
    ASSERT_EQ(OSA_thrCreate(&p.self, deleteSelf, 1, 10240, &p), OSA_SOK);
    p.created = true;
    for (int i = 0; i < 200 && !p.selfDeleted; i++)
        OSA_waitMsecs(5);
    EXPECT_TRUE(p.selfDeleted);
}

} // namespace

namespace {

// An ordinary user may not use real-time scheduling: the thread runs anyway, with the default
// policy, and the program says so once.
TEST(OsaThread, WithoutRealTimeRightsThreadsStillStartAndThisIsSaidOnce)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become an ordinary user in a child process";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        int policies = 0;
        for (int i = 0; i < 2; i++) {
            ThreadProbe p;
            OSA_ThrHndl thr;
            if (OSA_thrCreate(&thr, probeThread, 1, 0, &p) != OSA_SOK)
                _exit(4);
            OSA_thrDelete(&thr);
            if (p.policy == SCHED_OTHER)
                policies++;
        }
        fflush(stdout);
        _exit(policies == 2 ? 0 : 5);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0)
        out.append(buf, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out,
              " [osa] real-time scheduling is not permitted here, threads run with the default "
              "policy\n");
}

} // namespace

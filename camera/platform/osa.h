// OS abstraction of the video platform: threads, mutexes, counting semaphores and queues.
// Real pthread code, the same on the board and on a PC.
#pragma once

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

#define OSA_SOK 0
#define OSA_EFAIL (-1)
#define OSA_ETIMEOUT (-2)

// Timeouts in milliseconds for semaphores and queues.
#define OSA_TIMEOUT_NONE 0
#define OSA_TIMEOUT_FOREVER (-1)

typedef void *(*OSA_ThrEntryFunc)(void *arg);

struct OSA_ThrHndl {
    pthread_t hndl;
    uint32_t valid;
};

// A zero-filled OSA_MutexHndl is a usable, unlocked mutex (records cleared with memset rely on it).
struct OSA_MutexHndl {
    pthread_mutex_t lock;
};

struct OSA_SemHndl {
    pthread_mutex_t lock;
    pthread_cond_t cond;
    uint32_t count;
    uint32_t maxCount;
};

struct OSA_QueHndl {
    pthread_mutex_t lock;
    pthread_cond_t condRd;
    pthread_cond_t condWr;
    uint32_t curRd;
    uint32_t curWr;
    uint32_t count;
    uint32_t len;
    uintptr_t *queue;
};

// Creates a thread with the real-time FIFO policy at priority `pri` and a stack of `stackSize`
// bytes (0: the default). Where the process may not use real-time scheduling the thread starts
// with the default policy instead, and this is said once on the console.
int OSA_thrCreate(OSA_ThrHndl *hndl, OSA_ThrEntryFunc entry, int pri, uint32_t stackSize,
                  void *arg);
// Waits for the thread to end and frees it. A thread deleting its own handle is detached instead.
int OSA_thrDelete(OSA_ThrHndl *hndl);
// The middle priority of the FIFO policy: minimum + (maximum - minimum) / 2.
int OSA_thrMidPriority(void);

int OSA_mutexCreate(OSA_MutexHndl *hndl);
int OSA_mutexDelete(OSA_MutexHndl *hndl);
int OSA_mutexLock(OSA_MutexHndl *hndl);
int OSA_mutexUnlock(OSA_MutexHndl *hndl);

// A counting semaphore that never counts above maxCount; signals beyond it are dropped.
int OSA_semCreate(OSA_SemHndl *hndl, uint32_t maxCount, uint32_t initVal);
// Returns OSA_SOK, or OSA_ETIMEOUT when the count stayed 0 for `timeout` ms.
int OSA_semWait(OSA_SemHndl *hndl, int32_t timeout);
int OSA_semSignal(OSA_SemHndl *hndl);
int OSA_semDelete(OSA_SemHndl *hndl);

// A bounded FIFO of pointer-sized values.
int OSA_queCreate(OSA_QueHndl *hndl, uint32_t maxLen);
// Returns OSA_SOK, or OSA_ETIMEOUT when the queue stayed full (put) or empty (get).
int OSA_quePut(OSA_QueHndl *hndl, uintptr_t value, int32_t timeout);
int OSA_queGet(OSA_QueHndl *hndl, uintptr_t *value, int32_t timeout);
uint32_t OSA_queGetQueuedCount(OSA_QueHndl *hndl);
int OSA_queDelete(OSA_QueHndl *hndl);

void OSA_waitMsecs(uint32_t msecs);

// The internal-check convention of the program: on failure, " ASSERT (file|function|line)" on
// standard error, then wait until the operator types q (or standard input ends), then go on.
// Only the main thread, which reads the console, waits: a recording or device thread reports and
// goes on, so that it neither stops unattended nor takes the operator's menu input.
void OSA_assertFail(const char *file, const char *func, int line);
#define OSA_assert(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            OSA_assertFail(__FILE__, __func__, __LINE__);                                          \
    } while (0)

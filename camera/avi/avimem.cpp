#include "avi/avimem.h"

#include <atomic>
#include <stdlib.h>

static std::atomic<int> s_failCountdown{0};

// True when the injected failure is due now.
static bool injectFailure(void)
{
    int n = s_failCountdown.load(std::memory_order_relaxed);
    if (n <= 0)
        return false;
    s_failCountdown.store(n - 1, std::memory_order_relaxed);
    return n == 1;
}

void avi_failAllocAfter(int n)
{
    s_failCountdown.store(n, std::memory_order_relaxed);
}

void *avi_calloc(size_t size)
{
    if (injectFailure())
        return nullptr;
    return calloc(1, size ? size : 1);
}

void *avi_realloc(void *p, size_t size)
{
    if (injectFailure())
        return nullptr;
    return realloc(p, size ? size : 1);
}

void avi_free(void *p)
{
    free(p);
}

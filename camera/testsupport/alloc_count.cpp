#include "testsupport/alloc_count.h"

#include <stddef.h>

#include <atomic>

extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);

static std::atomic<bool> g_counting{false};
static std::atomic<uint64_t> g_allocs{0};

static void countOne()
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocs.fetch_add(1, std::memory_order_relaxed);
}

extern "C" void *malloc(size_t n)
{
    countOne();
    return __libc_malloc(n);
}

extern "C" void *calloc(size_t n, size_t size)
{
    countOne();
    return __libc_calloc(n, size);
}

extern "C" void *realloc(void *p, size_t n)
{
    countOne();
    return __libc_realloc(p, n);
}

void startCountingAllocations()
{
    g_allocs = 0;
    g_counting = true;
}

uint64_t stopCountingAllocations()
{
    g_counting = false;
    return g_allocs;
}

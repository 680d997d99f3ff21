// Counts the heap allocations of the whole process (malloc, calloc, realloc, and operator new
// through them) between a start and a stop. Link q7_alloc_count, which exists only in builds
// without sanitizers.
#pragma once

#include <stdint.h>

void startCountingAllocations();
// Stops counting; returns the allocations since the start.
uint64_t stopCountingAllocations();

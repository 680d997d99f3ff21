// Heap allocation of the recording pipeline and the playback.
#pragma once

#include <stdint.h>

// Plain heap allocation: a pointer to `size` bytes, or null.
void *q7_mem_allloc(uint32_t size);
void q7_mem_free(void *p);

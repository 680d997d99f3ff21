// Console convention and heap seam shared by the AVI library's modules.
#pragma once

#include <stddef.h>
#include <stdio.h>

// Every diagnostic of the library: "[libavi] - <operation>(<line>):<text>".
#define AVI_LOG(fmt, ...) printf("[libavi] - %s(%d):" fmt, __func__, __LINE__, ##__VA_ARGS__)

// The library's heap. avi_calloc zero-fills. All three return null on failure.
void *avi_calloc(size_t size);
void *avi_realloc(void *p, size_t size);
void avi_free(void *p);

// Test seam: the n-th allocation from now (1 = the next one) fails; 0 disables the injection.
void avi_failAllocAfter(int n);

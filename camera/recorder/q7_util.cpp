#include "recorder/q7_util.h"

#include <stdlib.h>

void *q7_mem_allloc(uint32_t size)
{
    return malloc(size ? size : 1);
}

void q7_mem_free(void *p)
{
    free(p);
}

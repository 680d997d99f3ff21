#include "skin/skin_log.h"

#include <cstdarg>
#include <cstdio>

void SkinLog(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
}

#include "skin/skin_log.h"

#include "file/debug_log.h"

#include <QString>

#include <cstdarg>

void SkinLog(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    const QString message = QString::vasprintf(fmt, ap);
    va_end(ap);
    DebugLog(message);
}

#include "file/debug_log.h"

#include "platform/platform.h"

#include <cstdarg>
#include <mutex>

namespace {
// The format worker logs from its own thread.
std::mutex g_lock;
DebugLogCapture *g_capture = nullptr;
} // namespace

DebugLogCapture::DebugLogCapture()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    m_previous = g_capture;
    g_capture = this;
}

DebugLogCapture::~DebugLogCapture()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_capture = m_previous;
}

void DebugLog(const QString &message)
{
    const std::lock_guard<std::mutex> hold(g_lock);
    if (g_capture) {
        g_capture->m_messages.append(message);
        return;
    }
    platform::WriteDebugOutput(message);
}

void DebugLogF(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const QString message = QString::vasprintf(format, args);
    va_end(args);
    DebugLog(message);
}

#include "file/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace
{
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
    // The texts carry their own line feeds for the debugger view ("\n\nRoadlog Setting
    // loading...\n"); a terminal wants one line per message.
    QString line = message;
    while (!line.isEmpty() && (line.front() == '\n' || line.front() == '\r'))
        line.remove(0, 1);
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    line.replace('\n', ' ').replace('\r', ' ');
    const QByteArray utf8 = line.toUtf8();
    std::fprintf(stderr, "%s\n", utf8.constData());
}

void DebugLogF(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const QString message = QString::vasprintf(format, args);
    va_end(args);
    DebugLog(message);
}

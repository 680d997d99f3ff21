// The settings tool's debug log: every diagnostic goes to the platform's debug output
// (OutputDebugStringW on Windows, one line per message on standard error on Linux). Nothing
// logged is ever shown in a window.
#pragma once

#include <QString>
#include <QStringList>

void DebugLog(const QString &message);

// printf-style message; %s takes UTF-8 (pass QString::toUtf8().constData()).
void DebugLogF(const char *format, ...) __attribute__((format(printf, 1, 2)));

// While one of these exists, messages are collected as they were logged (byte for byte) instead
// of being written to standard error. The newest capture takes the messages; read them once
// the threads that log are done.
class DebugLogCapture
{
public:
    DebugLogCapture();
    ~DebugLogCapture();
    DebugLogCapture(const DebugLogCapture &) = delete;
    DebugLogCapture &operator=(const DebugLogCapture &) = delete;

    const QStringList &messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    friend void DebugLog(const QString &message);
    QStringList m_messages;
    DebugLogCapture *m_previous = nullptr;
};

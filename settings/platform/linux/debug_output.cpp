#include "platform/platform.h"

#include <cstdio>

void platform::WriteDebugOutput(const QString &message)
{
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

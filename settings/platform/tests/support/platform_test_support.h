// What the settings tests need of the system they run on, with one implementation per side of
// the platform layer (support/linux.cpp, support/windows.cpp).
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The test program's own arguments, for its QApplication: under Wine the platform comes as
// "-platform offscreen" (Wine passes no QT_ variables on). They live as long as the program.
int &TestProgramArgc();
char **TestProgramArgv();

// Runs the events that are due, as QTest::qWait(0) does but without its timed event loop, which
// on Windows keeps a dialog's exec() from ending when the dialog was closed inside it.
void RunPendingEvents();

// A program run to its end, with what it wrote to the debug log.
struct ProgramRun {
    bool finished = false; // started, and ended within the time given
    int exitCode = -1;
    // Its debug-log messages in order: standard error's lines on Linux, the debugger's
    // output strings on Windows (the program runs under a debugger of the test's own).
    QStringList log;
};
ProgramRun RunProgramReadingLog(const QString &program, const QStringList &arguments,
                                int timeoutMs = 20000);

// Runs check while the read-only file at path cannot be written, as for a user whom its
// read-only mode binds; check's result. On Linux a root test drops to nobody in a child
// process. On Windows the file is also held open without write sharing: Wine running as root
// writes through the read-only attribute, which binds everyone on Windows.
bool RunWhileWriteProtected(const QString &path, const std::function<bool()> &check);

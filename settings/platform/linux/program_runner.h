// The system programs the formatter runs (dosfstools' mkfs.fat and fatlabel): started without a
// shell, waited for, and written to the debug log with what was run, what it printed and how
// it failed.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct SystemProgramRun {
    bool started = false; // false: the program could not be started
    int exitCode = -1;    // its exit code; 1 when it crashed or did not end in time
    bool Succeeded() const { return started && exitCode == 0; }
};

// Runs program with args to its end (at most ten minutes); onStarted is called once the
// program runs.
SystemProgramRun RunSystemProgram(const QString &program, const QStringList &args,
                                  const std::function<void()> &onStarted = nullptr);

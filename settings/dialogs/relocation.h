// Moving the program off the memory card: started from a removable drive, the tool copies
// itself to the user's local application-data folder and starts the copy there, so that the
// card can be formatted while the tool runs.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Starts program with its arguments in workingDir, detached. False when it could not start.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments,
                                          const QString &workingDir)>;
// The system's way (platform::StartProgram); the copy takes one argument.
bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDir);

// Copies the program's files (platform::ProgramFileSet: the program file and what it needs
// beside it) to localAppData + "/Orbilux/", overwriting earlier copies, and starts the copy
// with programFolder as its one argument, its working directory the root of the copy's drive.
// Logs the copy's path, the argument and the working directory. The copy's path when it was
// started; empty when a file could not be copied or the copy not started (the caller runs on).
QString RelocateProgram(const QString &programPath, const QString &programFolder,
                        const QString &localAppData, const ProgramStarter &start);

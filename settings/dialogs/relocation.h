// Moving the program off the memory card: started from a removable drive, the tool copies
// itself to the user's local application-data folder and starts the copy there, so that the
// card can be formatted while the tool runs.
#pragma once

#include "formatter/card_discovery.h"

#include <QString>
#include <QStringList>

#include <functional>

// True when path lies on a memory card: the formatter's card test on the disk that holds its
// file system, so that the tool moves off every card it may format.
bool IsRemovableDrive(const QString &path, const CardHost &host = CardHost::System());

// ~/.local/share (XDG_DATA_HOME when set): the local application-data folder.
QString LocalAppDataFolder();

// Starts program with its arguments in workingDir, detached. False when it could not start.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments,
                                          const QString &workingDir)>;
bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDir);

// Copies programPath to localAppData + "/Orbilux/" + its file name (overwriting an earlier
// copy) and starts the copy with programFolder as its one argument, its working directory the
// root of the copy's file system. Logs the copy's path, the argument and the working directory.
// The copy's path when it was started; empty when the copy failed (the caller runs on).
QString RelocateProgram(const QString &programPath, const QString &programFolder,
                        const QString &localAppData, const ProgramStarter &start);

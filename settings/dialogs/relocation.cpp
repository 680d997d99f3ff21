#include "dialogs/relocation.h"

#include "file/debug_log.h"
#include "formatter/card_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

bool IsRemovableDrive(const QString &path, const CardHost &host)
{
    return IsRemovableCard(path, host);
}

QString LocalAppDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    return QProcess::startDetached(program, arguments, workingDir);
}

QString RelocateProgram(const QString &programPath, const QString &programFolder,
                        const QString &localAppData, const ProgramStarter &start)
{
    const QString target = localAppData + QStringLiteral("/Orbilux");
    QDir().mkpath(target);
    const QString copy = target + QLatin1Char('/') + QFileInfo(programPath).fileName();
    // An earlier copy is replaced only by a complete new one.
    if (!CopyOver(programPath, copy)) return QString();
    // The root of the copy's file system, as the drive root was.
    const QString workingDir = QStringLiteral("/");
    // One argument, blanks and all: the copy must see the folder it was started from.
    if (!start(copy, {programFolder}, workingDir)) return QString();
    DebugLog(copy);
    DebugLog(programFolder);
    DebugLog(workingDir);
    return copy;
}

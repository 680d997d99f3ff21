#include "dialogs/relocation.h"

#include "file/debug_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace
{
bool ReadFlag(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return f.readAll().trimmed() == "1";
}
} // namespace

bool IsRemovableDrive(const QString &path)
{
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    const QString dev =
        QStringLiteral("/sys/dev/block/%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    if (!QFileInfo::exists(dev)) return false;
    // A partition has no flag of its own; its disk is the parent folder.
    if (QFileInfo::exists(dev + QStringLiteral("/partition")))
        return ReadFlag(QFileInfo(dev).canonicalFilePath() + QStringLiteral("/../removable"));
    return ReadFlag(dev + QStringLiteral("/removable"));
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
    QFile::remove(copy);
    if (!QFile::copy(programPath, copy)) return QString();
    QFile::setPermissions(copy, QFile::permissions(programPath));
    // The root of the copy's file system, as the drive root was.
    const QString workingDir = QStringLiteral("/");
    // One argument, blanks and all: the copy must see the folder it was started from.
    if (!start(copy, {programFolder}, workingDir)) return QString();
    DebugLog(copy);
    DebugLog(programFolder);
    DebugLog(workingDir);
    return copy;
}

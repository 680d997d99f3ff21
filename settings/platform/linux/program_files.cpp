#include "platform/platform.h"

#include <QCoreApplication>
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

namespace platform
{

QString ProgramFilePath()
{
    return QCoreApplication::applicationFilePath();
}

QStringList ProgramFileSet(const QString &programPath)
{
    // One file: the Qt libraries are the system's.
    return {QFileInfo(programPath).fileName()};
}

// The sysfs "removable" flag of the block device that holds the path's file system (for a
// partition, of its disk).
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

// One tree: the root of the copy's file system, as the drive root was.
QString DriveRoot(const QString &)
{
    return QStringLiteral("/");
}

// ~/.local/share (XDG_DATA_HOME when set).
QString LocalAppDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool CreateFolder(const QString &path)
{
    return QDir().mkpath(path);
}

bool CopyFileOver(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isFile()) return false;
    QFile::remove(to);
    if (!QFile::copy(from, to)) return false;
    QFile::setPermissions(to, QFile::permissions(from));
    return true;
}

bool StartProgram(const QString &program, const QString &argument, const QString &workingDir)
{
    return QProcess::startDetached(program, {argument}, workingDir);
}

QString NativePath(const QString &path)
{
    return path;
}

QStringList SkinFontFiles()
{
    // Wine's Tahoma (fonts-wine).
    return {QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"),
            QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf")};
}

} // namespace platform

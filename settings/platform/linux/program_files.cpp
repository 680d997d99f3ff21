#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace {
bool SameFile(const QString &a, const QString &b)
{
    // By identity, not by name: a case-insensitive card or a link may name one file twice.
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a.toStdU16String()),
                                       std::filesystem::path(b.toStdU16String()), ec) &&
           !ec;
}
} // namespace

namespace platform {

QString ProgramFilePath()
{
    return QCoreApplication::applicationFilePath();
}

QStringList ProgramFileSet(const QString &programPath)
{
    // One file: the Qt libraries are the system's.
    return {QFileInfo(programPath).fileName()};
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

bool CopyOver(const QString &from, const QString &to)
{
    QFile in(from);
    if (!QFileInfo(from).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    if (QFileInfo::exists(to) && SameFile(from, to))
        return true;
    // QSaveFile writes a temporary file beside `to`, flushes it to the medium and renames it
    // over `to` on commit; a failed or cancelled copy leaves `to` untouched.
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buf[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0 || (n > 0 && out.write(buf, n) != n))
            return false; // discards the temporary file
        if (n == 0)
            break;
    }
    if (!out.commit())
        return false;
    // A program must stay a program; a card's file system may not keep permissions at all.
    QFile::setPermissions(to, in.permissions());
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

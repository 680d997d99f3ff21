#include "platform/platform.h"
#include "platform/windows/program_runtime.h"
#include "platform/windows/wide.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <shlobj.h>
#include <shellapi.h>

#include <vector>

namespace {
// Both paths name one file (by volume and file index: a card's case-insensitive names or a
// second path to the same file do not fool it).
bool SameFile(const QString &a, const QString &b)
{
    const auto open = [](const QString &path) {
        return CreateFileW(Wide(QDir::toNativeSeparators(path)), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    };
    const HANDLE ha = open(a);
    const HANDLE hb = open(b);
    BY_HANDLE_FILE_INFORMATION ia = {}, ib = {};
    const bool same = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE &&
                      GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
                      ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                      ia.nFileIndexHigh == ib.nFileIndexHigh &&
                      ia.nFileIndexLow == ib.nFileIndexLow;
    if (ha != INVALID_HANDLE_VALUE)
        CloseHandle(ha);
    if (hb != INVALID_HANDLE_VALUE)
        CloseHandle(hb);
    return same;
}

// One command-line argument as CommandLineToArgvW reads it back: quoted when it holds blanks,
// with the backslashes before the closing quote doubled ("E:\my card\" ends in a backslash).
QString QuoteArgument(const QString &argument)
{
    if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
        !argument.contains(QLatin1Char('\t')))
        return argument;
    qsizetype trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == '\\')
        ++trailing;
    return QLatin1Char('"') + argument + QString(trailing, QLatin1Char('\\')) + QLatin1Char('"');
}
} // namespace

namespace platform {

QString ProgramFilePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return QString();
        if (length < path.size())
            return QDir::fromNativeSeparators(QString::fromWCharArray(path.data(), length));
        path.resize(path.size() * 2);
    }
}

QStringList ProgramFileSet(const QString &programPath)
{
    QStringList files{QFileInfo(programPath).fileName()};
    for (std::size_t i = 0; i < kProgramRuntimeFileCount; ++i)
        files.append(QString::fromLatin1(kProgramRuntimeFiles[i]));
    return files;
}

// The drive part: the path up to and including its first separator.
QString DriveRoot(const QString &path)
{
    const QString qt = QDir::fromNativeSeparators(path);
    const qsizetype slash = qt.indexOf(QLatin1Char('/'));
    return slash < 0 ? qt + QLatin1Char('/') : qt.left(slash + 1);
}

QString LocalAppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE))
        return QString();
    return QDir::fromNativeSeparators(QString::fromWCharArray(path));
}

bool CreateFolder(const QString &path)
{
    // CreateDirectoryW makes one level; the missing ones above are made first.
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).path();
    if (parent != folder && !QFileInfo(parent).isDir() && !CreateFolder(parent))
        return false;
    return CreateDirectoryW(Wide(NativePath(folder)), nullptr) ||
           (GetLastError() == ERROR_ALREADY_EXISTS && QFileInfo(folder).isDir());
}

bool CopyOver(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isFile())
        return false;
    if (SameFile(from, to))
        return true;
    // CopyFileW into a new file beside `to`, which then takes its place; a copy that fails
    // halfway leaves `to` as it was.
    const QString folder = NativePath(QFileInfo(to).absolutePath());
    const QString target = NativePath(to);
    wchar_t temporary[MAX_PATH] = {};
    if (!GetTempFileNameW(Wide(folder), L"q7c", 0, temporary))
        return false;
    if (!CopyFileW(Wide(NativePath(from)), temporary, FALSE)) {
        DeleteFileW(temporary);
        return false;
    }
    // MoveFileExW does not replace a read-only file (an earlier copy of a read-only DLL or
    // setup.cfg), so the attribute goes first and comes back if the move fails.
    const DWORD attributes = GetFileAttributesW(Wide(target));
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly)
        SetFileAttributesW(Wide(target), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExW(temporary, Wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (readOnly)
            SetFileAttributesW(Wide(target), attributes);
        DeleteFileW(temporary);
        return false;
    }
    return true;
}

bool StartProgram(const QString &program, const QString &argument, const QString &workingDir)
{
    const QString parameters = QuoteArgument(argument);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", Wide(NativePath(program)), Wide(parameters),
                      Wide(NativePath(workingDir)), SW_SHOW));
    // ShellExecuteW reports success as a value above 32.
    return result > 32;
}

QString NativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QStringList SkinFontFiles()
{
    // Tahoma comes with Windows; a platform without the system's font database (offscreen)
    // loads it from the fonts folder.
    wchar_t fonts[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, fonts, CSIDL_FONTS, FALSE))
        return {};
    const QString folder = QDir::fromNativeSeparators(QString::fromWCharArray(fonts));
    return {folder + QStringLiteral("/tahoma.ttf"), folder + QStringLiteral("/tahomabd.ttf")};
}

} // namespace platform

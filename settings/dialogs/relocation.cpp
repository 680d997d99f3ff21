#include "dialogs/relocation.h"

#include "file/debug_log.h"
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

bool StartDetached(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    return arguments.size() == 1 && platform::StartProgram(program, arguments[0], workingDir);
}

QString RelocateProgram(const QString &programPath, const QString &programFolder,
                        const QString &localAppData, const ProgramStarter &start)
{
    const QString target = localAppData + QStringLiteral("/Orbilux");
    platform::CreateFolder(target);
    const QDir from = QFileInfo(programPath).absoluteDir();
    // A copy without the files the program needs beside it would not start.
    for (const QString &file : platform::ProgramFileSet(programPath)) {
        const QString to = target + QLatin1Char('/') + file;
        platform::CreateFolder(QFileInfo(to).absolutePath());
        // An earlier copy is replaced only by a complete new one.
        if (!platform::CopyOver(from.filePath(file), to))
            return QString();
    }
    const QString copy = target + QLatin1Char('/') + QFileInfo(programPath).fileName();
    const QString workingDir = platform::DriveRoot(copy);
    // One argument, blanks and all: the copy must see the folder it was started from.
    const QString argument = platform::NativePath(programFolder);
    if (!start(copy, {argument}, workingDir))
        return QString();
    DebugLog(platform::NativePath(copy));
    DebugLog(argument);
    DebugLog(platform::NativePath(workingDir));
    return copy;
}

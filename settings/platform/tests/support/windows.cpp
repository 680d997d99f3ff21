#include "platform_test_support.h"

#include <QDeadlineTimer>
#include <QDir>

#include <windows.h>

#include <string>
#include <vector>

namespace {
// One argument of a command line, as CommandLineToArgvW reads it back.
QString Quote(const QString &argument)
{
    if (!argument.isEmpty() && !argument.contains(' ') && !argument.contains('\t') &&
        !argument.contains('"'))
        return argument;
    QString out = "\"";
    qsizetype backslashes = 0;
    for (QChar c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out += QString(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    return out + QString(backslashes * 2, '\\') + '"';
}

QString DebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO &info)
{
    const SIZE_T units = info.nDebugStringLength;
    SIZE_T read = 0;
    if (info.fUnicode) {
        std::vector<wchar_t> text(units);
        ReadProcessMemory(process, info.lpDebugStringData, text.data(), units * 2, &read);
        return QString::fromWCharArray(text.data(), qsizetype(read / 2)).section(QChar(0), 0, 0);
    }
    std::string text(units, '\0');
    ReadProcessMemory(process, info.lpDebugStringData, text.data(), units, &read);
    text.resize(read);
    return QString::fromLocal8Bit(text.c_str());
}
} // namespace

ProgramRun RunProgramReadingLog(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ProgramRun run;
    QString commandLine = Quote(QDir::toNativeSeparators(program));
    for (const QString &a : arguments)
        commandLine += ' ' + Quote(a);
    std::wstring command = commandLine.toStdWString();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &process))
        return run;
    const QDeadlineTimer deadline(timeoutMs);
    bool ended = false;
    while (!ended) {
        DEBUG_EVENT event = {};
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !WaitForDebugEvent(&event, DWORD(left)))
            break;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            run.log << DebugString(process.hProcess, event.u.DebugString);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is the debugger's; every other exception the program's.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = int(event.u.ExitProcess.dwExitCode);
            ended = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (!ended) {
        TerminateProcess(process.hProcess, 1);
        DebugActiveProcessStop(process.dwProcessId);
    }
    run.finished = ended;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool RunWhileWriteProtected(const QString &path, const std::function<bool()> &check)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE hold = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (hold == INVALID_HANDLE_VALUE)
        return false;
    const bool result = check();
    CloseHandle(hold);
    return result;
}

#include "platform_test_support.h"

#include <QProcess>

#include <sys/wait.h>
#include <unistd.h>

ProgramRun RunProgramReadingLog(const QString &program, const QStringList &arguments, int timeoutMs)
{
    ProgramRun run;
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForStarted())
        return run;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.finished = p.exitStatus() == QProcess::NormalExit;
    run.exitCode = p.exitCode();
    for (const QByteArray &line : p.readAllStandardError().split('\n'))
        if (!line.isEmpty())
            run.log << QString::fromUtf8(line);
    return run;
}

bool RunWhileWriteProtected(const QString &, const std::function<bool()> &check)
{
    if (::geteuid() != 0)
        return check();
    // Root writes through file modes.
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

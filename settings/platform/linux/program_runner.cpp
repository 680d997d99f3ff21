#include "platform/linux/program_runner.h"

#include "file/debug_log.h"

#include <QProcess>

SystemProgramRun RunSystemProgram(const QString &program, const QStringList &args,
                                  const std::function<void()> &onStarted)
{
    DebugLog(QStringLiteral("run: %1 %2").arg(program, args.join(QLatin1Char(' '))));
    SystemProgramRun run;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    run.started = p.waitForStarted(10000);
    if (!run.started) {
        DebugLog(QStringLiteral("%1: not started (%2)").arg(program, p.errorString()));
        return run;
    }
    if (onStarted)
        onStarted();
    const bool ended = p.waitForFinished(600000);
    if (!ended) {
        p.kill();
        p.waitForFinished(10000);
    }
    run.exitCode = ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 1;
    const QByteArray out = p.readAll().trimmed();
    if (!out.isEmpty())
        DebugLog(QString::fromLocal8Bit(out));
    if (!ended)
        DebugLog(QStringLiteral("%1: did not end in time").arg(program));
    else if (run.exitCode != 0)
        DebugLog(QStringLiteral("%1: exit code %2").arg(program).arg(run.exitCode));
    return run;
}

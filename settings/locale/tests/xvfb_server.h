// A private X server for tests that need a real display: Xvfb on a display number of its own
// choosing, stopped with the object.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

class XvfbServer
{
public:
    ~XvfbServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }

    // The display name (":N"), empty with the reason in *error when no server came up.
    QByteArray Start(QString *error, const QString &screen = QStringLiteral("640x480x24"))
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            *error = QStringLiteral("Xvfb (package xvfb) is needed");
            return {};
        }
        m_server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", screen});
        if (!m_server.waitForStarted(10000)) {
            *error = QStringLiteral("Xvfb did not start");
            return {};
        }
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (!number.contains('\n')) {
            *error = QStringLiteral("Xvfb gave no display number");
            return {};
        }
        return ":" + number.trimmed();
    }

private:
    QProcess m_server;
};

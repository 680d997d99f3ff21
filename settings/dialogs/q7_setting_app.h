// CQ7SettingApp: the program object. Takes the card folder from the command line and runs the
// main dialog modally; the program ends with it.
#pragma once

#include "builds/dialog_profile.h"

#include <QString>
#include <QStringList>

class CQ7SettingApp
{
public:
    explicit CQ7SettingApp(const DialogProfile &profile) : m_profile(profile) {}

    // arguments as QCoreApplication::arguments() gives them (the program first). The card folder
    // is the only argument, with a trailing slash; empty for no or several arguments.
    static QString CardFolderFromArguments(const QStringList &arguments);

    // Needs the application object. Returns the program's exit code.
    int Run(const QStringList &arguments);

    const QString &CardFolder() const { return m_cardFolder; }

private:
    const DialogProfile &m_profile;
    QString m_cardFolder;
};

// main() of both programs: the application object, the resources, the fonts, the dialog.
int RunSettingProgram(int argc, char **argv, const DialogProfile &profile);

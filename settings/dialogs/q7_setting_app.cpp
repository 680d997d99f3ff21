#include "dialogs/q7_setting_app.h"

#include "dialogs/q7_setting_dlg.h"
#include "locale/resources.h"
#include "skin/skin_image.h"

#include <QApplication>
#include <QDir>

QString CQ7SettingApp::CardFolderFromArguments(const QStringList &arguments)
{
    if (arguments.size() != 2)
        return QString();
    QString folder = QDir::fromNativeSeparators(arguments.at(1));
    // Every file of the card is the folder followed by its name.
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

int CQ7SettingApp::Run(const QStringList &arguments)
{
    m_cardFolder = CardFolderFromArguments(arguments);
    CQ7SettingDlg dlg(m_cardFolder, m_profile);
    if (!dlg.Init())
        return 0;
    dlg.exec();
    return 0;
}

int RunSettingProgram(int argc, char **argv, const DialogProfile &profile)
{
    QApplication app(argc, argv);
    InitSettingsResources();
    LoadSkinFonts();
    // The popups and message boxes carry the program's icon as its main window does.
    app.setWindowIcon(LoadIconResource(CQ7SettingDlg::kIconId));
    CQ7SettingApp settingApp(profile);
    return settingApp.Run(QCoreApplication::arguments());
}

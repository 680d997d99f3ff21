// The program's start-up and the main dialog as a user meets them: arguments, the relocation
// off a removable drive, the build's start-up order and log lines, the window, tab switching,
// the window buttons and dragging.

#include "dialog_test_env.h"
#include "main_dialog_test.h"

#include "dialogs/control_ids.h"
#include "dialogs/q7_setting_app.h"
#include "dialogs/relocation.h"
#include "file/debug_log.h"
#include "platform/card.h"
#include "platform/platform.h"
#include "platform/tests/support/platform_test_support.h"
#include "skin/control_id.h"
#include "skin/rbutton.h"
#include "skin/rstatic_text.h"
#include "skin/skin_image.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <QWindow>

#include <gtest/gtest.h>

namespace {
QStringList DialogLines(const QStringList &log)
{
    QStringList lines;
    for (const QString &m : log)
        if (m.startsWith(QStringLiteral("Setting Dialog")))
            lines << m;
    return lines;
}

TEST(CQ7SettingApp, TheCardFolderIsTheOnlyArgument)
{
    EXPECT_EQ(CQ7SettingApp::CardFolderFromArguments({"K420_Setting"}), "");
    EXPECT_EQ(CQ7SettingApp::CardFolderFromArguments({"K420_Setting", "/media/a", "/media/b"}), "");
    EXPECT_EQ(CQ7SettingApp::CardFolderFromArguments({"K420_Setting", "/media/card/SETTING/"}),
              "/media/card/SETTING/");
    // Without its trailing slash the folder still names the card's files.
    EXPECT_EQ(CQ7SettingApp::CardFolderFromArguments({"K420_Setting", "/media/my card"}),
              "/media/my card/");
}

TEST_P(EachBuild, NoOrSeveralArgumentsEndAtOnceWithoutAWindow)
{
    const QStringList expected =
        Profile().selectsLanguage
            ? QStringList{"Setting Dialog Init Start"}
            : QStringList{"Setting Dialog Init Start", "Setting Dialog Init Tab"};
    for (const QStringList &args : {QStringList{"prog"}, QStringList{"prog", "/a/", "/b/"}}) {
        DebugLogCapture log;
        CQ7SettingApp app(Profile());
        EXPECT_EQ(app.Run(args), 0);
        EXPECT_EQ(app.CardFolder(), "");
        EXPECT_EQ(DialogLines(log.messages()), expected);
        for (QWidget *w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
}

TEST_P(EachBuild, TheProgramWithoutArgumentsEndsAtOnce)
{
    const QString program = Profile().selectsLanguage ? QStringLiteral(K420_SETTING_PROGRAM)
                                                      : QStringLiteral(KZ7100_SETTING_PROGRAM);
    for (const QStringList &args : {QStringList{}, QStringList{"/a/", "/b/"}}) {
        const ProgramRun run = RunProgramReadingLog(program, args);
        ASSERT_TRUE(run.finished) << "still running";
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.log.contains("Setting Dialog Init Start"))
            << run.log.join('|').toStdString();
    }
}

TEST_P(EachBuild, StartUpLogsTheBuildsOrder)
{
    const CameraSettings record = CardRecord(Profile());
    DebugLogCapture log;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    const QStringList expected =
        Profile().selectsLanguage
            ? QStringList{"Setting Dialog Init Start", "Setting Dialog Update",
                          "Setting Dialog Init Tab", "Setting Dialog Completed"}
            : QStringList{"Setting Dialog Init Start", "Setting Dialog Init Tab",
                          "Setting Dialog Update", "Setting Dialog Completed"};
    EXPECT_EQ(DialogLines(log.messages()), expected);
    EXPECT_EQ(Bytes(d.Record()), Bytes(record));
}

TEST_P(EachBuild, AFolderWithoutSetupCfgOpensWithDefaultsAndSaveCreatesNothing)
{
    DebugLogCapture log;
    OpenDialog d(Profile(), nullptr);
    ASSERT_TRUE(d.initialised);
    EXPECT_TRUE(DialogLines(log.messages()).contains("Setting Dialog Init Default Values"));
    CameraSettings defaults;
    ClearSettings(defaults);
    ResetSettings(defaults, Profile().model);
    CameraSettings shown = d.Record();
    // The zone the Common tab shows was stored into the record (the PC's zone when the
    // defaults name none); every other byte is the build's default.
    std::memcpy(shown.timeZoneName, defaults.timeZoneName, sizeof shown.timeZoneName);
    shown.timeZoneBias = defaults.timeZoneBias;
    EXPECT_EQ(Bytes(shown), Bytes(defaults));
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdSave));
    EXPECT_FALSE(d.dlg->isVisible());
    EXPECT_FALSE(d.card.Exists());
    EXPECT_TRUE(QDir(d.card.Folder()).isEmpty());
}

TEST_P(EachBuild, InitializeThenCancelLeavesTheFileAndThenSaveWritesTheDefaults)
{
    CameraSettings record = CardRecord(Profile());
    record.voiceVolume = 2;
    record.parkingImpactSensitivity = 3;
    record.memoryPartition = 3;
    record.speedUnit = 1 - record.speedUnit;
    {
        OpenDialog d(Profile(), &record);
        ASSERT_TRUE(d.initialised);
        ClickButton(d.dlg->Button(CQ7SettingDlg::kIdInitialize));
        EXPECT_TRUE(d.dlg->isVisible()) << "Initialize asks nothing and closes nothing";
        EXPECT_EQ(d.Record().voiceVolume, Profile().selectsLanguage ? 3 : 5);
        ClickButton(d.dlg->Button(CQ7SettingDlg::kIdCancel));
        EXPECT_FALSE(d.dlg->isVisible());
        EXPECT_EQ(d.dlg->Settings(), nullptr);
        EXPECT_EQ(d.card.Read(), Bytes(record));
    }
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdInitialize));
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdSave));
    CameraSettings expected = record;
    ResetSettings(expected, Profile().model);
    if (Profile().model.saveStampsChecksum)
        expected.checksum = kConfigSize15;
    EXPECT_EQ(d.card.Read(), Bytes(expected));
}

TEST_P(EachBuild, TheWindowIsFramelessOnTopAtTheOriginWithItsControls)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CQ7SettingDlg &dlg = *d.dlg;
    EXPECT_EQ(dlg.size(), QSize(622, 587));
    EXPECT_EQ(dlg.pos(), QPoint(0, 0));
    EXPECT_TRUE(dlg.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dlg.windowTitle(), ModelText(Profile().model, 101));
    auto *title = qobject_cast<CRStaticText *>(FindControl(&dlg, CQ7SettingDlg::kIdTitle));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->geometry(), QRect(QPoint(11, 7), QPoint(410, 26)));
    EXPECT_EQ(title->Text(), ModelText(Profile().model, 101));

    struct Expect {
        int id;
        QRect rect;
    };
    const Expect buttons[] = {
        {CQ7SettingDlg::kIdTabCommon, QRect(QPoint(11, 48), QPoint(160, 84))},
        {CQ7SettingDlg::kIdTabNormal, QRect(QPoint(161, 48), QPoint(310, 84))},
        {CQ7SettingDlg::kIdTabParking, QRect(QPoint(311, 48), QPoint(460, 84))},
        {CQ7SettingDlg::kIdTabEtc, QRect(QPoint(461, 48), QPoint(610, 84))},
        {CQ7SettingDlg::kIdMinimize, QRect(QPoint(548, 0), QPoint(576, 25))},
        {CQ7SettingDlg::kIdClose, QRect(QPoint(577, 0), QPoint(605, 25))},
        {CQ7SettingDlg::kIdInitialize, QRect(QPoint(8, 546), QPoint(228, 574))},
        {CQ7SettingDlg::kIdCancel, QRect(QPoint(410, 546), QPoint(509, 574))},
        {CQ7SettingDlg::kIdSave, QRect(QPoint(514, 546), QPoint(613, 574))},
    };
    for (const Expect &e : buttons) {
        CRButton *b = dlg.Button(e.id);
        ASSERT_NE(b, nullptr) << e.id;
        EXPECT_EQ(FindControl(&dlg, e.id), b);
        EXPECT_EQ(b->geometry(), e.rect) << e.id;
        EXPECT_TRUE(b->isVisible()) << e.id;
    }
    EXPECT_EQ(dlg.Button(CQ7SettingDlg::kIdTabCommon)->State(), CRButton::kSelected);
    EXPECT_TRUE(dlg.Button(CQ7SettingDlg::kIdTabCommon)->IsSticky());
    for (int id :
         {CQ7SettingDlg::kIdTabNormal, CQ7SettingDlg::kIdTabParking, CQ7SettingDlg::kIdTabEtc}) {
        EXPECT_EQ(dlg.Button(id)->State(), CRButton::kNormal) << id;
        EXPECT_FALSE(dlg.Button(id)->IsSticky()) << id;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d.Tab(i).geometry(), QRect(11, 85, 600, 437)) << i;
        EXPECT_EQ(d.Tab(i).isVisible(), i == 0) << i;
    }
    // The tab area is white over the skinned background.
    const QImage shot = Shot(dlg);
    EXPECT_EQ(shot.pixel(12, 86), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(575, 521), qRgb(255, 255, 255));
    EXPECT_NE(shot.pixel(5, 300), qRgb(255, 255, 255));
    EXPECT_NE(shot.pixel(300, 530), qRgb(255, 255, 255));
}

TEST_P(EachBuild, TheWindowCarriesTheProgramsIcon)
{
    const QMap<int, QImage> images = IconImages();
    EXPECT_EQ(images.keys(), (QList<int>{16, 24, 32, 48, 64, 128, 256}));
    for (const QImage &image : images) {
        ASSERT_EQ(image.width(), image.height());
        // Drawn, not empty: the frame's corner is transparent, its middle opaque.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
    }
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    const QIcon icon = d.dlg->windowIcon();
    EXPECT_EQ(icon.availableSizes().size(), images.size());
    EXPECT_EQ(icon.pixmap(48).toImage().convertToFormat(QImage::Format_ARGB32), images[48]);
}

TEST_P(EachBuild, TabButtonsShowExactlyOneTabAndNeverChangeTheRecord)
{
    CameraSettings record = CardRecord(Profile());
    record.normalFrontResolution = 0;
    record.parkingFrontFrameRate = 7;
    record.memoryPartition = 9;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    const QByteArray before = Bytes(d.Record());
    for (int index : {1, 2, 3, 0, 3, 3, 2}) {
        SelectTab(d, index);
        EXPECT_EQ(d.dlg->CurrentTab(), index);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(d.Tab(i).isVisible(), i == index);
            CRButton *b = d.dlg->Button(CQ7SettingDlg::kIdTabCommon + i);
            EXPECT_EQ(b->State() == CRButton::kSelected, i == index);
            EXPECT_EQ(b->IsSticky(), i == index);
        }
        EXPECT_EQ(Bytes(d.Record()), before);
    }
}

TEST_P(EachBuild, MinimiseAndTheCloseButton)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    d.Record().voiceVolume = 1;
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdMinimize));
    EXPECT_TRUE(d.dlg->windowState() & Qt::WindowMinimized);
    d.dlg->showNormal();
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdClose));
    EXPECT_FALSE(d.dlg->isVisible());
    EXPECT_EQ(d.dlg->Settings(), nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d.dlg->Tab(i), nullptr);
    EXPECT_EQ(d.card.Read(), Bytes(record)) << "closing saves nothing";
}

TEST_P(EachBuild, SaveOnAWriteProtectedCardClosesAllTheSame)
{
    CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    QFile::setPermissions(d.card.File(), QFile::ReadOwner);
    const bool root = QFile(d.card.File()).open(QIODevice::ReadWrite);
    d.Record().voiceVolume = 1;
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdSave));
    EXPECT_FALSE(d.dlg->isVisible());
    QFile::setPermissions(d.card.File(), QFile::ReadOwner | QFile::WriteOwner);
    if (!root) {
        EXPECT_EQ(d.card.Read(), Bytes(record));
    }
}

TEST_P(EachBuild, EscapeOnATabIsSwallowed)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    for (int i = 0; i < 4; ++i) {
        SelectTab(d, i);
        QTest::mouseClick(&d.Tab(i), Qt::LeftButton, {}, QPoint(590, 5));
        EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget *>(d.Tab(i).FocusButton())) << i;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        Settle();
        EXPECT_TRUE(d.dlg->isVisible()) << i;
        EXPECT_NE(d.dlg->Settings(), nullptr);
    }
}

TEST_P(EachBuild, TheWindowDragsFromATabAndFromTheTitle)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    struct Drag {
        QWidget *from;
        QPoint at;
    };
    QWidget *title = FindControl(d.dlg.get(), CQ7SettingDlg::kIdTitle);
    QWidget *label = d.Tab(0).Control(IDC_COMMON_LANGUAGE_HEADING);
    for (const Drag &drag : {Drag{&d.Tab(0), QPoint(500, 300)}, Drag{title, QPoint(50, 10)},
                             Drag{label, QPoint(5, 5)}}) {
        const QPoint start = d.dlg->pos();
        const QPoint global = drag.from->mapToGlobal(drag.at);
        QWidget *target = drag.from == title ? d.dlg.get() : drag.from;
        auto send = [&](QEvent::Type type, QPoint g, Qt::MouseButton button,
                        Qt::MouseButtons held) {
            // What the window system delivers: the widget under the pointer gets it first.
            QWidget *under = QApplication::widgetAt(g);
            QWidget *to = under ? under : target;
            QMouseEvent e(type, to->mapFromGlobal(QPointF(g)), QPointF(g), button, held, {});
            QApplication::sendEvent(to, &e);
        };
        send(QEvent::MouseButtonPress, global, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, global + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, global + QPoint(40, 25), Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, global + QPoint(40, 25), Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(d.dlg->pos(), start + QPoint(40, 25));
        send(QEvent::MouseMove, global + QPoint(90, 90), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(d.dlg->pos(), start + QPoint(40, 25))
            << "a move without the button drags nothing";
        d.dlg->move(0, 0);
        Settle();
    }
}

TEST(Relocation, StartedFromARemovableDriveTheProgramMovesAndQuits)
{
    QTemporaryDir root;
    const QString card = root.path() + "/card with blank/SETTING/";
    ASSERT_TRUE(QDir().mkpath(card));
    const QString program = card + "K420_Setting";
    // The program and what it needs beside it (on Windows its DLLs and plugin folders).
    for (const QString &file : platform::ProgramFileSet(program)) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(card + file).path()));
        QFile f(card + file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file == "K420_Setting" ? QByteArray("program bytes") : file.toUtf8());
    }
    const QString local = root.path() + "/local";
    QString started, workDir;
    QStringList startArgs;
    DebugLogCapture log;
    CQ7SettingDlg dlg(card, K420_Dialogs);
    dlg.SetProgramPath(program);
    dlg.SetViewerProbe(nullptr);
    QString asked;
    dlg.SetRelocation(
        [&](const QString &folder) {
            asked = folder;
            return true;
        },
        local,
        [&](const QString &p, const QStringList &a, const QString &w) {
            started = p;
            startArgs = a;
            workDir = w;
            return true;
        });
    EXPECT_FALSE(dlg.Init()) << "the original quits";
    EXPECT_EQ(asked, card);
    const QString copy = local + "/Orbilux/K420_Setting";
    EXPECT_EQ(started, copy);
    // The folder as the system writes it ("C:\...\SETTING\" on Windows); the copy works on the
    // root of its drive, where the temporary folder is.
    const QString nativeCard = QDir::toNativeSeparators(card);
    EXPECT_EQ(startArgs, QStringList{nativeCard}) << "one argument, blanks and all";
    EXPECT_EQ(workDir, QDir::rootPath());
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "program bytes");
    for (const QString &file : platform::ProgramFileSet(program))
        EXPECT_TRUE(QFileInfo::exists(local + "/Orbilux/" + file)) << file.toStdString();
    EXPECT_EQ(dlg.RelocatedProgramPath(), copy);
    EXPECT_EQ(log.messages(), (QStringList{QDir::toNativeSeparators(copy), nativeCard,
                                           QDir::toNativeSeparators(QDir::rootPath())}));
    EXPECT_FALSE(dlg.isVisible());
}

TEST(Relocation, AFailedCopyRunsFromTheCard)
{
    QTemporaryDir root;
    const QString folder = root.path() + "/";
    const CameraSettings record = CardRecord(K420_Dialogs);
    QFile cfg(folder + "setup.cfg");
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write(Bytes(record));
    cfg.close();
    // The local application-data folder cannot be made: a file is in its place.
    QFile blocker(folder + "local");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    bool started = false;
    CQ7SettingDlg dlg(folder, K420_Dialogs);
    NoViewer viewer;
    dlg.SetViewerProbe(&viewer);
    dlg.SetProgramPath(folder + "setup.cfg");
    dlg.SetRelocation(
        [](const QString &) { return true; }, folder + "local",
        [&](const QString &, const QStringList &, const QString &) { return started = true; });
    EXPECT_TRUE(dlg.Init());
    EXPECT_FALSE(started);
    EXPECT_EQ(dlg.RelocatedProgramPath(), "");
    ASSERT_NE(dlg.Settings(), nullptr);
    EXPECT_EQ(Bytes(*dlg.Settings()), Bytes(record));
}

TEST(Relocation, AFixedDiskIsNotRemovable)
{
    // This machine's own disks and its memory file systems.
    EXPECT_FALSE(platform::IsRemovableDrive(QDir::tempPath()));
    EXPECT_FALSE(platform::IsRemovableDrive(QStringLiteral("/proc")));
    EXPECT_FALSE(platform::IsRemovableDrive(QStringLiteral("/no/such/folder")));
}

INSTANTIATE_TEST_SUITE_P(Builds, EachBuild,
                         ::testing::Values(BuildCase{"K420", &K420_Dialogs},
                                           BuildCase{"KZ7100", &KZ7100_Dialogs}),
                         [](const ::testing::TestParamInfo<BuildCase> &info) {
                             return info.param.name;
                         });
} // namespace

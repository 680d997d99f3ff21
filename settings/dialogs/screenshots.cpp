// Writes PNG pictures of the settings tool's windows for a person to look at: every tab of both
// builds (the long tabs also scrolled to their end), the parking-mode question and the motion
// area dialog. Runs without a display (the offscreen platform unless QT_QPA_PLATFORM says
// otherwise):
//
//   q7_settings_screenshots OUTPUT_DIR

#include "builds/dialog_profile.h"
#include "dialogs/control_ids.h"
#include "dialogs/motion_dlg.h"
#include "dialogs/parking_dlg.h"
#include "dialogs/q7_setting_dlg.h"
#include "dialogs/tab_dlg.h"
#include "locale/resources.h"
#include "skin/rbutton.h"
#include "skin/skin_image.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
bool Save(QWidget &w, const QString &path)
{
    if (!w.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A card folder with the build's defaults in a 432-byte setup.cfg.
bool MakeCard(const QString &folder, const DialogProfile &profile)
{
    CameraSettings s;
    ClearSettings(s);
    ResetSettings(s, profile.model);
    s.checksum = kCameraSettingsSize;
    s.configVersion = 1 << 16 | 5;
    s.motionAreaFront = 0xFFF;
    s.motionAreaRear = 0x0F0;
    QFile f(folder + "setup.cfg");
    return f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char *>(s.bytes()),
                                                   kCameraSettingsSize) == kCameraSettingsSize;
}

bool ShootBuild(const DialogProfile &profile, const QString &name, const QString &out)
{
    QTemporaryDir card;
    const QString folder = card.path() + "/";
    if (!MakeCard(folder, profile))
        return false;
    CQ7SettingDlg dlg(folder, profile);
    dlg.SetRelocation(nullptr, QString(), nullptr);
    if (!dlg.Init())
        return false;
    dlg.show();
    bool ok = true;
    const char *tabs[4] = {"common", "continuous", "parking", "additional"};
    for (int i = 0; i < 4; ++i) {
        CCommandEvent select(CQ7SettingDlg::kIdTabCommon + i);
        QApplication::sendEvent(&dlg, &select);
        QApplication::processEvents();
        ok &= Save(dlg, QString("%1/%2_%3.png").arg(out, name, tabs[i]));
        CTabDlg *tab = dlg.Tab(i);
        if (tab->ExtraHeight() > 0) {
            tab->ScrollTo(tab->ExtraHeight());
            QApplication::processEvents();
            ok &= Save(dlg, QString("%1/%2_%3_end.png").arg(out, name, tabs[i]));
            tab->ScrollTo(0);
        }
    }

    // The parking-mode question, on top of the Parking tab.
    auto *parking = static_cast<CParkingDlg *>(dlg.Tab(2));
    QTimer::singleShot(0, &dlg, [&] {
        if (QWidget *popup = QApplication::activeModalWidget()) {
            ok &= Save(*popup, QString("%1/%2_parking_question.png").arg(out, name));
            popup->close();
        }
    });
    dlg.Settings()->parkingMode = 1;
    parking->RefreshControls();
    if (auto *off = parking->ControlAs<QAbstractButton>(IDC_PARKING_MODE_OFF))
        off->click();

    // The motion area dialog with the middle row of the rear picture selected.
    CMotionDlg &motion = parking->MotionDlg();
    QTimer::singleShot(0, &motion, [&] {
        ok &= Save(motion, QString("%1/%2_motion_area.png").arg(out, name));
        QApplication::postEvent(&motion, new CCommandEvent(CMotionDlg::kIdCancel));
    });
    parking->RunMotionArea();
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    InitSettingsResources();
    LoadSkinFonts();
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    bool ok = ShootBuild(K420_Dialogs, "k420", out);
    ok &= ShootBuild(KZ7100_Dialogs, "kz7100", out);
    return ok ? 0 : 1;
}

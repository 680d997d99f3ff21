// CQ7SettingDlg: the settings tool's one window. A frameless, stay-on-top 622 x 587 window at
// (0, 0) with a skinned title, four tab buttons over the four tab dialogs, minimise and close,
// and Initialize, Cancel and Save. It owns the settings record; the tabs write into it.
#pragma once

#include "builds/dialog_profile.h"
#include "dialogs/relocation.h"
#include "file/camera_settings.h"
#include "skin/skin_image.h"

#include <QDialog>
#include <QPoint>
#include <QString>

#include <memory>

class CCommonDlg;
class CNormalDlg;
class CParkingDlg;
class CRButton;
class CRStaticText;
class CTabDlg;
class ViewerProbe;

class CQ7SettingDlg : public QDialog
{
    Q_OBJECT
public:
    enum {
        kIdTitle = 2001,
        kIdTabCommon = 2200,
        kIdTabNormal = 2201,
        kIdTabParking = 2202,
        kIdTabEtc = 2203,
        kIdMinimize = 2300,
        kIdClose = 2301,
        kIdInitialize = 2302,
        kIdCancel = 2303,
        kIdSave = 2304,
    };
    static constexpr int kIconId = 128;
    static constexpr int kWindowWidth = 622;
    static constexpr int kWindowHeight = 587;

    // cardFolder: the program's argument (empty when it had not exactly one).
    CQ7SettingDlg(const QString &cardFolder, const DialogProfile &profile,
                  QWidget *parent = nullptr);
    ~CQ7SettingDlg() override;

    // The start-up of the build. False when the program is to end now (no card folder, or a
    // relocated copy was started).
    bool Init();

    // Where the program lives and whether it moves off a removable drive first; tests point
    // these elsewhere.
    void SetProgramPath(const QString &path) { m_programPath = path; }
    void SetRelocation(std::function<bool(const QString &)> isRemovable,
                       const QString &localAppData, ProgramStarter start);
    void SetViewerProbe(const ViewerProbe *viewer) { m_viewer = viewer; }

    const QString &CardFolder() const { return m_cardFolder; }
    const QString &ProgramFolder() const { return m_programFolder; }
    const QString &RelocatedProgramPath() const { return m_relocatedPath; }
    QString SettingsPath() const { return m_cardFolder + QStringLiteral("setup.cfg"); }
    // Null once the dialog has closed.
    CameraSettings *Settings() const { return m_settings.get(); }

    CTabDlg *Tab(int index) const;
    int CurrentTab() const;
    CRButton *Button(int id) const;
    // The window as it is painted: background, white tab area, controls.
    QImage Canvas() const { return m_background.image; }

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool Relocate();
    void CreateControls();
    void CreateTabs();
    void LoadAndRefresh();
    void RefreshAll();
    void SelectTab(int index);
    void CloseDialog(int result);
    void OnCommand(int id);

    const DialogProfile &m_profile;
    QString m_cardFolder;
    QString m_programPath;
    QString m_programFolder;
    QString m_relocatedPath;
    std::function<bool(const QString &)> m_isRemovable;
    QString m_localAppData;
    ProgramStarter m_start;
    const ViewerProbe *m_viewer = nullptr;

    std::unique_ptr<CameraSettings> m_settings;
    SkinCanvas m_background;
    QFont m_titleFont;
    CRStaticText *m_title = nullptr;
    CRButton *m_buttons[9] = {};
    CTabDlg *m_tabs[4] = {};
    QRect m_client;

    bool m_dragging = false;
    bool m_systemMove = false;
    QPoint m_dragOffset;
};

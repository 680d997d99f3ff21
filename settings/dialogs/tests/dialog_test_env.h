#pragma once

// Shared by the dialog tests: the application object (one per test program), a card folder
// with a real setup.cfg, the main dialog opened on it as the program opens it, and the actions
// a user takes on its widgets.

#include "builds/dialog_profile.h"
#include "dialogs/q7_setting_dlg.h"
#include "dialogs/tab_dlg.h"
#include "file/camera_settings.h"
#include "platform/viewer.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

class QAbstractButton;
class QDialog;

// No PC viewer runs: the record chooses the language.
class NoViewer : public ViewerProbe
{
public:
    QString languageValue() const override { return QString(); }
    bool isRunning() const override { return false; }
};

struct BuildCase {
    std::string name;
    const DialogProfile *profile;
};
std::string BuildName(const DialogProfile &profile);
inline void PrintTo(const BuildCase &c, std::ostream *os)
{
    *os << c.name;
}

// A version 1.5 record of the build's defaults, zone "Korea Standard Time" (+540), both motion
// areas full: what a camera writes.
CameraSettings CardRecord(const DialogProfile &profile);
QByteArray Bytes(const CameraSettings &s);
CameraSettings FromBytes(const QByteArray &bytes);

// A card folder (with trailing slash) holding setup.cfg, or none when record is null.
class Card
{
public:
    explicit Card(const CameraSettings *record);
    QString Folder() const { return m_dir.path() + QStringLiteral("/"); }
    QString File() const { return Folder() + QStringLiteral("setup.cfg"); }
    QByteArray Read() const;
    bool Exists() const;

private:
    QTemporaryDir m_dir;
};

// The main dialog opened on a card, shown and exposed; relocation off, no viewer.
struct OpenDialog {
    OpenDialog(const DialogProfile &profile, const CameraSettings *record);
    ~OpenDialog();
    const DialogProfile &profile;
    Card card;
    std::unique_ptr<CQ7SettingDlg> dlg;
    bool initialised = false;
    CameraSettings &Record() const { return *dlg->Settings(); }
    CTabDlg &Tab(int index) const { return *dlg->Tab(index); }
    template <class T> T &TabAs(int index) const { return static_cast<T &>(Tab(index)); }
};

// A user's clicks: on a skinned button (its command arrives at once), a radio or check box (on
// its indicator), a tab button.
void ClickButton(QWidget *button);
void ClickRadio(QAbstractButton *button);
void SelectTab(OpenDialog &d, int index);
// Scrolls the tab so that the control is in view, as a user would before clicking it.
void Reveal(CTabDlg &tab, QWidget *control);
void Settle();

// Runs action; the modal dialog it opens is handed to answer (null when none opened within
// the action). A modal dialog still open after 5 s is closed so that a failure cannot hang.
void WithModal(const std::function<void()> &action,
               const std::function<void(QWidget *modal)> &answer);

// What a widget shows, as opaque RGB.
QImage Shot(QWidget &w);

// The card format procedure behind the Additional tab's button: confirmation, rescue of the
// camera's files, the worker that rebuilds or quick-formats the card, the volume label, the
// return of the files and the final message.
#pragma once

#include "formatter/format_profile.h"
#include "platform/card.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QObject;

// The windows the procedure shows; the dialogs implement it with the skin's progress popup and
// standard message boxes, q7card on the console.
class FormatUi
{
public:
    virtual ~FormatUi() = default;

    // User-interface thread.
    virtual bool AskYesNo(const QString &caption, const QString &text) = 0;
    virtual void ShowMessage(const QString &caption, const QString &text) = 0;
    // Creates the popup (a popup still there is destroyed first).
    virtual void CreatePopup(const QString &caption, const QString &text, int width,
                             int height) = 0;
    // Runs the popup modally until ClosePopup; calls shown() once its window is up.
    virtual void RunPopup(const std::function<void()> &shown) = 0;
    virtual void DestroyPopup() = 0;

    // Worker thread. The receiver of WM_FORMAT_PROGRESS (none: nothing is posted).
    virtual QObject *PopupWindow() = 0;
    // The popup's position and its bar.
    virtual void SetPopupPos(int percent) = 0;
    // Closes the popup; only called once shown() has been called.
    virtual void ClosePopup() = 0;
    virtual void ShowWorkerMessage(const QString &caption, const QString &text) = 0;
};

// Where a fresh backup folder is made when the program's folder is on the card: the local
// application-data folder of the tool, else the system's temporary folder.
QStringList DefaultFreshBackupRoots();

struct FormatJob {
    // The folder that holds setup.cfg, ending in '/'; or the block device of an unmounted card
    // volume, which is formatted without rescuing files.
    QString cardFolder;
    QString programFile;  // the running program file, put back into the card folder (none: not)
    QString backupFolder; // where the files wait (empty: the program file's folder)
    // Where the files wait instead when that folder is on the card itself.
    QStringList freshBackupRoots = DefaultFreshBackupRoots();
    const FormatProfile *profile = &K420_Format;
    CardHost host = CardHost::System();
    FormatUi *ui = nullptr;
};

// 1 when the last format succeeded.
extern std::atomic<int> g_nFormatDone;

// The Yes/No question before the format.
bool ConfirmCardFormat(FormatUi &ui, const FormatProfile &profile);

// The procedure; returns when the final message has been shown.
void SDCardFormat(const FormatJob &job);

// The card root ("E:/", or the mount point of the folder's file system with a trailing '/');
// empty when the folder is on no mounted file system.
QString CardRoot(const QString &cardFolder, const CardHost &host);

// The line the worker logs for MakeMBR's result.
void LogMakeMBRResult(int result);

// The text shown when the system formatter (mkfs.fat) is missing on Linux.
extern const char kFormatterMissingText[];
// Added to the final message: the files could not be saved off the card (%1: why), so nothing
// was formatted.
extern const char kBackupFailedText[];
// The card's file system could not be mounted again (%1: the folder that keeps the files).
extern const char kRemountFailedText[];
// An unmount was refused: %1 the programs that hold the card.
extern const char kCardBusyText[];
extern const char kCardBusyUnknownText[];
// Files of a fresh backup folder that could not all be put back (%1: the folder).
extern const char kBackupKeptText[];

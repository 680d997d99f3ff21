#include "formatter/card_format.h"

#include "file/debug_log.h"
#include "formatter/card_backup.h"
#include "platform/platform.h"
#include "skin/format_progress.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

std::atomic<int> g_nFormatDone{0};

const char kFormatterMissingText[] = "mkfs.fat (dosfstools) could not be started";
const char kBackupFailedText[] =
    "The memory card was not formatted: its files could not be saved off the card.\r\n%1\r\n";
const char kRemountFailedText[] =
    "The memory card could not be opened again. Take it out and put it back in.\r\n"
    "Its files were kept in %1\r\n";
const char kCardBusyText[] =
    "The memory card is in use. Close these programs and try again: %1\r\n";
const char kCardBusyUnknownText[] =
    "The memory card is in use by another program. Close it and try again.\r\n";
const char kBackupKeptText[] =
    "Not every file could be put back on the card; they were kept in %1\r\n";

namespace {

QString Text(const FormatProfile &p, int number)
{
    return ModelText(p.texts, number);
}

// A text whose second line has a key of its own in the language tables.
QString TwoLines(const FormatProfile &p, int number)
{
    if (!p.textsInTwoKeys)
        return Text(p, number);
    return Text(p, number) + "\r\n" + Text(p, number * 10) + "\r\n";
}

void LogTime(const char *what)
{
    const QTime t = QTime::currentTime();
    DebugLogF("%s - %02d:%02d:%02d\n", what, t.hour(), t.minute(), t.second());
}

// The worker reaches the popup through this; a close that comes before the popup's window is
// up is remembered and done once it is.
class PopupLink
{
public:
    explicit PopupLink(FormatUi &ui) : m_ui(ui) {}

    void Shown()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_shown = true;
        if (m_closeWanted)
            m_ui.ClosePopup();
    }
    void Close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closeWanted = true;
        if (m_shown)
            m_ui.ClosePopup();
    }
    void SetPos(int percent)
    {
        m_pos = std::clamp(percent, 0, 100);
        m_ui.SetPopupPos(m_pos);
    }
    int Pos() const { return m_pos; }
    FormatUi &Ui() { return m_ui; }

private:
    FormatUi &m_ui;
    std::mutex m_mutex;
    bool m_shown = false;
    bool m_closeWanted = false;
    std::atomic<int> m_pos{0};
};

void Wait1s()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
}

QString EndLine(const QString &text)
{
    return text.endsWith("\r\n") ? text : text + "\r\n";
}

// The format callback: 11 ends the format with its success flag, 15 is structure progress.
void FormatCallback(PopupLink &link, int type, const uint8_t *data)
{
    if (type == 11)
        g_nFormatDone = data[0] == 1 ? 1 : 0;
    else if (type == 15)
        link.SetPos(std::min(link.Pos() + 20, 100));
}

// The quick format through the system formatter, whose packets move the bar and give the result.
void FormatProc(PopupLink &link, platform::FormatCard &card, const FormatJob &job)
{
    DebugLog("FormatProc()\n");
    const FormatProfile &p = *job.profile;
    const platform::QuickFormatRun run = card.QuickFormat(
        p, [&link](int type, const uint8_t *data) { FormatCallback(link, type, data); });
    if (!run.ran) {
        // Not there, or the card refused: a failure, told at once only for a missing formatter.
        if (!run.missing.isEmpty())
            link.Ui().ShowWorkerMessage(Text(p, 162), run.missing);
        g_nFormatDone = 0;
    }
    link.SetPos(g_nFormatDone == 1 ? 100 : 0);
    Wait1s();
    link.Close();
}

void FormatWorker(PopupLink &link, const QString &root, const FormatJob &job,
                  platform::FormatCard &card)
{
    const FormatProfile &p = *job.profile;
    if (p.logsProcedure) {
        LogTime("start");
        DebugLog(platform::NativePath(root));
    }
    if (p.startProgress) {
        if (QObject *w = link.Ui().PopupWindow())
            PostFormatProgress(w, p.startProgress);
        link.SetPos(p.startProgress);
    }
    FormatContext context;
    context.window = link.Ui().PopupWindow();
    const int result = card.MakeMBR(context, p);
    LogMakeMBRResult(result);

    if (result == RETURN_HASMBR) {
        DebugLog("MBR 있음\n");
        FormatProc(link, card, job);
        if (p.logsProcedure)
            LogTime("end");
        return;
    }
    int pos;
    if (result == 0) {
        DebugLog("MBR 생성 성공");
        g_nFormatDone = 1;
        pos = 100;
    } else {
        const QString failed = QString::asprintf("MBR 생성 실패 (%d)", result);
        DebugLog(failed);
        if (p.showsMakeMBRFailure)
            link.Ui().ShowWorkerMessage(Text(p, 162), failed);
        g_nFormatDone = 0;
        pos = 0;
    }
    link.SetPos(pos);
    if (p.logsProcedure)
        LogTime("end");
    card.WriteVolumeLabel(p.label);
    Wait1s();
    link.Close();
}

} // namespace

void LogMakeMBRResult(int result)
{
    const char *name = ResultCodeName(result);
    // 108-113 have names but, as in the Windows tool, log an empty line.
    if (name && result <= ERR_FORMAT_ERROR_BPB1_SEC_WRITE)
        DebugLogF("End MakeMBR() Ret( %s )", name);
    else
        DebugLog(QString());
}

QString CardRoot(const QString &cardFolder, const CardHost &host)
{
    return platform::OpenFormatCard(cardFolder, host)->Root();
}

bool ConfirmCardFormat(FormatUi &ui, const FormatProfile &profile)
{
    return ui.AskYesNo(Text(profile, 162), TwoLines(profile, 163));
}

QStringList DefaultFreshBackupRoots()
{
    return {platform::LocalAppDataFolder() + "/Orbilux", QDir::tempPath()};
}

void SDCardFormat(const FormatJob &job)
{
    const FormatProfile &p = *job.profile;
    FormatUi &ui = *job.ui;
    if (p.logsProcedure)
        DebugLog("Start SDCardFormat() ---");
    if (job.cardFolder.isEmpty())
        return;
    const std::unique_ptr<platform::FormatCard> card =
        platform::OpenFormatCard(job.cardFolder, job.host);
    if (!card->IsCard())
        return;
    QString root = card->Root();
    // An unmounted volume has no files to rescue; the worker formats the device itself.
    const bool rescue = !root.isEmpty();
    if (!rescue)
        root = job.cardFolder;

    if (p.logsProcedure)
        DebugLog(platform::NativePath(job.cardFolder));
    CardBackup backup;
    if (rescue) {
        const QString preferred = job.backupFolder.isEmpty()
                                      ? QFileInfo(job.programFile).absolutePath() + "/"
                                      : job.backupFolder;
        const OnCardTest onCard = [&](const QString &path) { return card->IsOnCard(path); };
        QString why;
        bool made = PlanCardBackup(job.cardFolder, root, job.programFile, preferred,
                                   job.freshBackupRoots, onCard, backup, &why);
        if (!made) {
            why = "no folder off the card could be made in " + why;
        } else {
            QString failed;
            made = MakeCardBackup(
                backup,
                [&](const QString &from, const QString &to) {
                    if (p.logsProcedure)
                        DebugLogF("COPY file from [ %s ] to [ %s ]",
                                  platform::NativePath(from).toUtf8().constData(),
                                  platform::NativePath(to).toUtf8().constData());
                },
                &failed);
            if (!made)
                why = failed + " could not be copied to " + backup.folder;
        }
        if (!made) {
            // Nothing has been written: the card keeps everything it had.
            DebugLog(why);
            DiscardCardBackup(backup);
            ui.ShowMessage(Text(p, 162), QString(kBackupFailedText).arg(why));
            if (p.logsProcedure)
                DebugLog("--- End SDCardFormat()");
            return;
        }
    }

    ui.CreatePopup(Text(p, 162), TwoLines(p, 178), 400, 150);
    g_nFormatDone = 0;
    PopupLink link(ui);
    std::thread worker([&link, root, &job, &card] { FormatWorker(link, root, job, *card); });
    ui.RunPopup([&link] { link.Shown(); });
    // The worker's last act was closing the popup.
    worker.join();
    ui.DestroyPopup();

    QString text = g_nFormatDone == 1 ? Text(p, 179) : TwoLines(p, 181);
    if (rescue) {
        // The files go back only onto the card itself, not into a folder of this PC where the
        // card's file system was.
        if (!card->IsBack()) {
            DebugLogF("%s is not mounted again; the files stay in %s", root.toUtf8().constData(),
                      backup.folder.toUtf8().constData());
            g_nFormatDone = 0;
            text = EndLine(TwoLines(p, 181)) +
                   QString(kRemountFailedText).arg(QDir::toNativeSeparators(backup.folder));
        } else {
            if (RestoreCardBackup(backup)) {
                DiscardCardBackup(backup);
            } else if (backup.fresh) {
                text = EndLine(text) +
                       QString(kBackupKeptText).arg(QDir::toNativeSeparators(backup.folder));
            }
        }
    }
    const QString inUse = card->InUseText();
    if (g_nFormatDone != 1 && !inUse.isEmpty())
        text = EndLine(text) + inUse;
    ui.ShowMessage(Text(p, 162), text);
    if (p.logsProcedure)
        DebugLog("--- End SDCardFormat()");
}

#include "formatter/card_format.h"

#include "file/debug_log.h"
#include "formatter/card_backup.h"
#include "formatter/make_mbr.h"
#include "skin/format_progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTime>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

std::atomic<int> g_nFormatDone{0};

const char kFormatterMissingText[] = "mkfs.fat (dosfstools) could not be started";
const char kBackupFailedText[] = "The memory card was not formatted: its files could not be saved off the card.\r\n%1\r\n";
const char kRemountFailedText[] = "The memory card could not be opened again. Take it out and put it back in.\r\n"
                                  "Its files were kept in %1\r\n";
const char kCardBusyText[] = "The memory card is in use. Close these programs and try again: %1\r\n";
const char kCardBusyUnknownText[] = "The memory card is in use by another program. Close it and try again.\r\n";
const char kBackupKeptText[] = "Not every file could be put back on the card; they were kept in %1\r\n";

namespace {

QString Text(const FormatProfile &p, int number) { return ModelText(*p.model, number); }

// A text whose second line has a key of its own in the language tables.
QString TwoLines(const FormatProfile &p, int number)
{
    if (!p.textsInTwoKeys) return Text(p, number);
    return Text(p, number) + "\r\n" + Text(p, number * 10) + "\r\n";
}

void LogTime(const char *what)
{
    const QTime t = QTime::currentTime();
    DebugLogF("%s - %02d:%02d:%02d\n", what, t.hour(), t.minute(), t.second());
}

// The worker reaches the popup through this; a close that comes before the popup's window is
// up is remembered and done once it is.
class PopupLink {
public:
    explicit PopupLink(FormatUi &ui) : m_ui(ui) {}

    void Shown()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_shown = true;
        if (m_closeWanted) m_ui.ClosePopup();
    }
    void Close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closeWanted = true;
        if (m_shown) m_ui.ClosePopup();
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

void Wait1s() { std::this_thread::sleep_for(std::chrono::milliseconds(1000)); }

// Only a memory card that the system does not need is ever labelled or formatted.
bool MayTouch(const CardVolume &card) { return IsUsableCard(card); }

// What became of the card's file system during the format, as the mount and unmount calls saw
// it; the worker writes it, the procedure reads it after the worker has ended.
struct MountWatch {
    std::mutex mutex;
    bool mounted = true; // where the user had it
    bool busy = false;   // an unmount was refused
    QStringList busyPrograms;
};

// The host whose mount and unmount report to the watch. The programs holding a busy card are
// looked up at once, while they still hold it.
CardHost Watched(const CardHost &host, const std::shared_ptr<MountWatch> &watch)
{
    CardHost h = host;
    h.unmount = [host, watch](const QString &mp) {
        const bool ok = host.unmount && host.unmount(mp);
        const QStringList holders = ok ? QStringList() : ProgramsUsing(mp, host);
        std::lock_guard<std::mutex> lock(watch->mutex);
        if (ok) {
            watch->mounted = false;
        } else if (!watch->busy) {
            watch->busy = true;
            watch->busyPrograms = holders;
        }
        return ok;
    };
    h.mount = [host, watch](const QString &dev, const QString &mp) {
        const bool ok = host.mount && host.mount(dev, mp);
        std::lock_guard<std::mutex> lock(watch->mutex);
        if (ok) watch->mounted = true;
        return ok;
    };
    return h;
}

QString RootOf(const CardVolume &card)
{
    if (!card.mounted) return {};
    return card.mountPoint.endsWith('/') ? card.mountPoint : card.mountPoint + "/";
}

QString EndLine(const QString &text) { return text.endsWith("\r\n") ? text : text + "\r\n"; }

// Runs a dosfstools program on the card's volume with the volume unmounted; -1: not started.
int RunOnVolume(const CardVolume &card, const CardHost &host, const QString &program, const QStringList &args)
{
    if (card.mounted && !(host.unmount && host.unmount(card.mountPoint))) {
        DebugLogF("cannot unmount %s\n", card.mountPoint.toUtf8().constData());
        return 1;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    int rc = -1;
    if (p.waitForStarted(10000)) {
        p.waitForFinished(600000);
        rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 1;
        const QByteArray out = p.readAll().trimmed();
        if (!out.isEmpty()) DebugLog(QString::fromLocal8Bit(out));
    }
    if (card.mounted && !(host.mount && host.mount(card.volumeDevice, card.mountPoint)))
        DebugLogF("cannot mount %s on %s\n", card.volumeDevice.toUtf8().constData(), card.mountPoint.toUtf8().constData());
    return rc;
}

// SetVolumeLabelW: fatlabel on the card's volume.
void SetVolumeLabel(const CardVolume &card, const CardHost &host, const char *label)
{
    if (!MayTouch(card)) return;
    const QString fs = VolumeFileSystem(card.volumeDevice);
    if (fs != "FAT32" && fs != "FAT") return;
    if (RunOnVolume(card, host, host.fatlabel, {card.volumeDevice, label}) != 0)
        DebugLogF("%s: label not set\n", card.volumeDevice.toUtf8().constData());
}

// The format callback: 11 ends the format with its success flag, 15 is structure progress.
void FormatCallback(PopupLink &link, int type, const uint8_t *data)
{
    if (type == 11) g_nFormatDone = data[0] == 1 ? 1 : 0;
    else if (type == 15) link.SetPos(std::min(link.Pos() + 20, 100));
}

bool FlushDevice(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The quick format: mkfs.fat -F 32 with the model's label on the card's volume. Its stages
// (started, finished, flushed, the new volume read back as FAT32) are the structure packets.
void FormatProc(PopupLink &link, const CardVolume &card, const FormatJob &job, const CardHost &host)
{
    DebugLog("FormatProc()\n");
    const FormatProfile &p = *job.profile;
    bool ok = false;
    if (MayTouch(card)) {
        bool started = false;
        if (card.mounted && !(host.unmount && host.unmount(card.mountPoint))) {
            // A busy card: the final message names the programs that hold it.
            DebugLogF("cannot unmount %s\n", card.mountPoint.toUtf8().constData());
            g_nFormatDone = 0;
        } else {
            QProcess mkfs;
            mkfs.setProcessChannelMode(QProcess::MergedChannels);
            mkfs.start(host.mkfsFat, {"-F", "32", "-n", p.label, card.volumeDevice});
            started = mkfs.waitForStarted(10000);
            if (started) {
                FormatCallback(link, 15, nullptr);
                mkfs.waitForFinished(600000);
                const QByteArray out = mkfs.readAll().trimmed();
                if (!out.isEmpty()) DebugLog(QString::fromLocal8Bit(out));
                ok = mkfs.exitStatus() == QProcess::NormalExit && mkfs.exitCode() == 0;
                if (ok) FormatCallback(link, 15, nullptr);
                ok = ok && FlushDevice(card.volumeDevice);
                if (ok) FormatCallback(link, 15, nullptr);
                ok = ok && VolumeFileSystem(card.volumeDevice) == "FAT32";
                if (ok) FormatCallback(link, 15, nullptr);
            }
            if (card.mounted && !(host.mount && host.mount(card.volumeDevice, card.mountPoint)))
                DebugLogF("cannot mount %s on %s\n", card.volumeDevice.toUtf8().constData(),
                          card.mountPoint.toUtf8().constData());
            if (!started) {
                link.Ui().ShowWorkerMessage(Text(p, 162), kFormatterMissingText);
                g_nFormatDone = 0;
            } else {
                const uint8_t success = ok ? 1 : 0;
                FormatCallback(link, 11, &success);
            }
        }
    } else {
        g_nFormatDone = 0;
    }
    link.SetPos(g_nFormatDone == 1 ? 100 : 0);
    Wait1s();
    link.Close();
}

void FormatWorker(PopupLink &link, const QString &root, const FormatJob &job, const CardHost &host)
{
    const FormatProfile &p = *job.profile;
    if (p.logsProcedure) {
        LogTime("start");
        DebugLog(root);
    }
    if (p.startProgress) {
        if (QObject *w = link.Ui().PopupWindow()) PostFormatProgress(w, p.startProgress);
        link.SetPos(p.startProgress);
    }
    // The card as it is now: the label and the quick format go to this volume, whatever the
    // mount table says after the rebuild.
    const CardVolume card = FindCard(root, host);
    FormatContext context;
    context.window = link.Ui().PopupWindow();
    const int result = MakeMBR(context, root, p, host);
    LogMakeMBRResult(result);

    if (result == RETURN_HASMBR) {
        DebugLog("MBR 있음\n");
        FormatProc(link, card, job, host);
        if (p.logsProcedure) LogTime("end");
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
        if (p.showsMakeMBRFailure) link.Ui().ShowWorkerMessage(Text(p, 162), failed);
        g_nFormatDone = 0;
        pos = 0;
    }
    link.SetPos(pos);
    if (p.logsProcedure) LogTime("end");
    SetVolumeLabel(card, host, p.label);
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

QString CardRoot(const QString &cardFolder, const CardHost &host) { return RootOf(FindCard(cardFolder, host)); }

bool ConfirmCardFormat(FormatUi &ui, const FormatProfile &profile)
{
    return ui.AskYesNo(Text(profile, 162), TwoLines(profile, 163));
}

QStringList DefaultFreshBackupRoots()
{
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Orbilux", QDir::tempPath()};
}

void SDCardFormat(const FormatJob &job)
{
    const FormatProfile &p = *job.profile;
    FormatUi &ui = *job.ui;
    if (p.logsProcedure) DebugLog("Start SDCardFormat() ---");
    if (job.cardFolder.isEmpty()) return;
    const CardVolume card = FindCard(job.cardFolder, job.host);
    if (!IsUsableCard(card)) return;
    QString root = RootOf(card);
    // An unmounted volume has no files to rescue; the worker formats the device itself.
    const bool rescue = !root.isEmpty();
    if (!rescue) root = job.cardFolder;

    if (p.logsProcedure) DebugLog(job.cardFolder);
    CardBackup backup;
    if (rescue) {
        const QString preferred =
            job.backupFolder.isEmpty() ? QFileInfo(job.programFile).absolutePath() + "/" : job.backupFolder;
        const OnCardTest onCard = [&](const QString &path) { return IsOnCard(path, card, job.host); };
        QString why;
        bool made = PlanCardBackup(job.cardFolder, root, job.programFile, preferred, job.freshBackupRoots, onCard,
                                   backup, &why);
        if (!made) {
            why = "no folder off the card could be made in " + why;
        } else {
            QString failed;
            made = MakeCardBackup(
                backup,
                [&](const QString &from, const QString &to) {
                    if (p.logsProcedure)
                        DebugLogF("COPY file from [ %s ] to [ %s ]", from.toUtf8().constData(), to.toUtf8().constData());
                },
                &failed);
            if (!made) why = failed + " could not be copied to " + backup.folder;
        }
        if (!made) {
            // Nothing has been written: the card keeps everything it had.
            DebugLog(why);
            DiscardCardBackup(backup);
            ui.ShowMessage(Text(p, 162), QString(kBackupFailedText).arg(why));
            if (p.logsProcedure) DebugLog("--- End SDCardFormat()");
            return;
        }
    }

    ui.CreatePopup(Text(p, 162), TwoLines(p, 178), 400, 150);
    g_nFormatDone = 0;
    const auto watch = std::make_shared<MountWatch>();
    const CardHost host = Watched(job.host, watch);
    PopupLink link(ui);
    std::thread worker([&link, root, &job, &host] { FormatWorker(link, root, job, host); });
    ui.RunPopup([&link] { link.Shown(); });
    // The worker's last act was closing the popup.
    worker.join();
    ui.DestroyPopup();

    QString text = g_nFormatDone == 1 ? Text(p, 179) : TwoLines(p, 181);
    if (rescue) {
        // The files go back only onto the card itself: with its file system not mounted where it
        // was, the card folder is an empty folder of this PC.
        const CardVolume now = FindCard(root, job.host);
        const bool cardBack = watch->mounted && now.mounted && now.mountPoint == card.mountPoint &&
                              now.diskName == card.diskName;
        if (!cardBack) {
            DebugLogF("%s is not mounted again; the files stay in %s", card.mountPoint.toUtf8().constData(),
                      backup.folder.toUtf8().constData());
            g_nFormatDone = 0;
            text = EndLine(TwoLines(p, 181)) + QString(kRemountFailedText).arg(QDir::toNativeSeparators(backup.folder));
        } else {
            if (RestoreCardBackup(backup)) {
                DiscardCardBackup(backup);
            } else if (backup.fresh) {
                text = EndLine(text) + QString(kBackupKeptText).arg(QDir::toNativeSeparators(backup.folder));
            }
        }
    }
    if (g_nFormatDone != 1 && watch->busy) {
        text = EndLine(text) + (watch->busyPrograms.isEmpty() ? QString(kCardBusyUnknownText)
                                                              : QString(kCardBusyText).arg(watch->busyPrograms.join(", ")));
    }
    ui.ShowMessage(Text(p, 162), text);
    if (p.logsProcedure) DebugLog("--- End SDCardFormat()");
}

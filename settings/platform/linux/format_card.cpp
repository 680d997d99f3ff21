// The card of a format on Linux: the volume behind the card folder in the mount table and sysfs,
// unmounted for every write and mounted again where it was, mkfs.fat as the system formatter and
// fatlabel for the label.
#include "platform/card.h"

#include "file/debug_log.h"
#include "formatter/card_format.h"
#include "formatter/make_mbr.h"
#include "platform/linux/card_discovery.h"
#include "platform/linux/program_runner.h"
#include "platform/linux/sector_devices.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <mutex>

namespace {

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
        if (ok)
            watch->mounted = true;
        return ok;
    };
    return h;
}

QString RootOf(const CardVolume &card)
{
    if (!card.mounted)
        return {};
    return card.mountPoint.endsWith('/') ? card.mountPoint : card.mountPoint + "/";
}

// Only a memory card that the system does not need is ever labelled or formatted.
bool MayTouch(const CardVolume &card)
{
    return IsUsableCard(card);
}

// Runs a dosfstools program on the card's volume with the volume unmounted; -1: not started.
int RunOnVolume(const CardVolume &card, const CardHost &host, const QString &program,
                const QStringList &args)
{
    if (card.mounted && !(host.unmount && host.unmount(card.mountPoint))) {
        DebugLogF("cannot unmount %s\n", card.mountPoint.toUtf8().constData());
        return 1;
    }
    const SystemProgramRun run = RunSystemProgram(program, args);
    if (card.mounted && !(host.mount && host.mount(card.volumeDevice, card.mountPoint)))
        DebugLogF("cannot mount %s on %s\n", card.volumeDevice.toUtf8().constData(),
                  card.mountPoint.toUtf8().constData());
    return run.exitCode;
}

bool FlushDevice(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

class LinuxFormatCard : public platform::FormatCard
{
public:
    LinuxFormatCard(const QString &cardFolder, const CardHost &host)
        : m_host(host), m_watch(std::make_shared<MountWatch>()), m_watched(Watched(host, m_watch)),
          m_card(FindCard(cardFolder, host))
    {
        // An unmounted volume has no files to rescue; the worker formats the device itself.
        m_root = RootOf(m_card);
        m_target = m_root.isEmpty() ? cardFolder : m_root;
    }

    bool IsCard() const override { return IsUsableCard(m_card); }
    QString Root() const override { return m_root; }
    bool IsOnCard(const QString &path) const override { return ::IsOnCard(path, m_card, m_host); }

    int MakeMBR(FormatContext &context, const FormatProfile &profile) override
    {
        // The card as it is now: the label and the quick format go to this volume, whatever
        // the mount table says after the rebuild.
        m_now = FindCard(m_target, m_watched);
        return ::MakeMBR(context, m_target, profile, m_watched);
    }

    // The quick format: mkfs.fat -F 32 with the model's label on the card's volume. Its stages
    // (started, finished, flushed, the new volume read back as FAT32) are the structure packets.
    platform::QuickFormatRun QuickFormat(const FormatProfile &p,
                                         const platform::FormatPacket &packet) override
    {
        platform::QuickFormatRun run;
        const CardVolume &card = m_now;
        if (!MayTouch(card))
            return run;
        if (card.mounted && !(m_watched.unmount && m_watched.unmount(card.mountPoint))) {
            // A busy card: the final message names the programs that hold it.
            DebugLogF("cannot unmount %s\n", card.mountPoint.toUtf8().constData());
            return run;
        }
        const SystemProgramRun mkfs =
            RunSystemProgram(m_host.mkfsFat, {"-F", "32", "-n", p.label, card.volumeDevice},
                             [&] { packet(15, nullptr); });
        run.ran = mkfs.started;
        bool ok = false;
        if (run.ran) {
            ok = mkfs.Succeeded();
            if (ok)
                packet(15, nullptr);
            ok = ok && FlushDevice(card.volumeDevice);
            if (ok)
                packet(15, nullptr);
            ok = ok && VolumeFileSystem(card.volumeDevice) == "FAT32";
            if (ok)
                packet(15, nullptr);
        }
        if (card.mounted &&
            !(m_watched.mount && m_watched.mount(card.volumeDevice, card.mountPoint)))
            DebugLogF("cannot mount %s on %s\n", card.volumeDevice.toUtf8().constData(),
                      card.mountPoint.toUtf8().constData());
        if (!run.ran) {
            run.missing = kFormatterMissingText;
        } else {
            const uint8_t success = ok ? 1 : 0;
            packet(11, &success);
        }
        return run;
    }

    // SetVolumeLabelW: fatlabel on the card's volume.
    void WriteVolumeLabel(const char *label) override
    {
        const CardVolume &card = m_now;
        if (!MayTouch(card))
            return;
        const QString fs = VolumeFileSystem(card.volumeDevice);
        if (fs != "FAT32" && fs != "FAT")
            return;
        if (RunOnVolume(card, m_watched, m_host.fatlabel, {card.volumeDevice, label}) != 0)
            DebugLogF("%s: label not set\n", card.volumeDevice.toUtf8().constData());
    }

    bool IsBack() const override
    {
        // With its file system not mounted where it was, the card folder is an empty folder of
        // this PC.
        const CardVolume now = FindCard(m_root, m_host);
        return m_watch->mounted && now.mounted && now.mountPoint == m_card.mountPoint &&
               now.diskName == m_card.diskName;
    }

    QString InUseText() const override
    {
        if (!m_watch->busy)
            return QString();
        return m_watch->busyPrograms.isEmpty()
                   ? QString(kCardBusyUnknownText)
                   : QString(kCardBusyText).arg(m_watch->busyPrograms.join(", "));
    }

private:
    CardHost m_host;
    std::shared_ptr<MountWatch> m_watch;
    CardHost m_watched;
    CardVolume m_card;
    CardVolume m_now;
    QString m_root;
    QString m_target;
};

} // namespace

namespace platform {

bool IsRemovableDrive(const QString &path, const CardHost &host)
{
    return IsRemovableCard(path, host);
}

std::unique_ptr<SectorDevice> OpenImageDevice(const QString &path, const DiskGeometry &geometry)
{
    return std::unique_ptr<SectorDevice>(FileSectorDevice::OpenImage(path, geometry));
}

std::unique_ptr<FormatCard> OpenFormatCard(const QString &cardFolder, const CardHost &host)
{
    return std::make_unique<LinuxFormatCard>(cardFolder, host);
}

} // namespace platform

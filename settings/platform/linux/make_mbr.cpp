#include "formatter/make_mbr.h"

#include "file/debug_log.h"
#include "platform/linux/card_discovery.h"
#include "platform/linux/sector_devices.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>

namespace {

// Sector 0 of the disk, read without claiming the disk: 5, 6 or 104.
int ReadMBR(const QString &diskDevice)
{
    const int fd = ::open(QFile::encodeName(diskDevice).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ERR_MBR_READ_ERROR;
    Sector s;
    const bool read = ::pread(fd, s.data(), kSectorSize, 0) == ssize_t(kSectorSize);
    ::close(fd);
    if (!read)
        return ERR_MBR_READ_ERROR;
    return IsOwnMBR(s) ? RETURN_HASMBR : RETURN_HASNOTMBR;
}

} // namespace

int MakeMBR(FormatContext &context, const QString &cardFolder, const FormatProfile &profile,
            const CardHost &host)
{
    if (profile.logsMakeMBRStart)
        DebugLog("Start MakeMBR() ---");
    const CardVolume card = FindCard(cardFolder, host);

    // The system's own disks play the part of physical disk 0; a fixed disk is refused alike.
    if (card.systemDisk) {
        DebugLogF("MakeMBR: %s holds the running system\n", card.diskName.toUtf8().constData());
        return ERR_PHYSUCALDRIVE;
    }
    if (!card.diskName.isEmpty() && !card.memoryCard) {
        DebugLogF("MakeMBR: %s is not a memory card\n", card.diskName.toUtf8().constData());
        return ERR_PHYSUCALDRIVE;
    }
    if (card.volumeDevice.isEmpty())
        return ERR_FORMAT_TYPE_UNKNOWN;
    const QString fs = VolumeFileSystem(card.volumeDevice);
    if (fs.isEmpty())
        return ERR_FORMAT_TYPE_UNKNOWN;
    if (fs != "FAT32")
        return ERR_FAT16_PARTITION;
    if (card.diskName.isEmpty()) {
        DebugLogF("MakeMBR: %s is not on one disk\n", card.volumeDevice.toUtf8().constData());
        return ERR_MBR_READ_ERROR;
    }
    if (!host.hasRawAccess || !host.hasRawAccess()) {
        DebugLogF("MakeMBR: raw access to %s needs root; nothing written\n",
                  card.diskDevice.toUtf8().constData());
        return ERR_MBR_READ_ERROR;
    }

    DebugLog(card.diskDevice);
    const int mbr = ReadMBR(card.diskDevice);
    if (mbr != RETURN_HASNOTMBR)
        return mbr;

    // Exclusive access: nothing of the card may stay mounted while its sectors are rewritten.
    const bool wasMounted = card.mounted;
    if (wasMounted && !(host.unmount && host.unmount(card.mountPoint))) {
        DebugLogF("MakeMBR: cannot unmount %s\n", card.mountPoint.toUtf8().constData());
        return ERR_MBR_READ_ERROR;
    }
    auto remount = [&] {
        if (wasMounted && !(host.mount && host.mount(card.volumeDevice, card.mountPoint)))
            DebugLogF("MakeMBR: cannot mount %s on %s\n", card.volumeDevice.toUtf8().constData(),
                      card.mountPoint.toUtf8().constData());
    };
    std::unique_ptr<FileSectorDevice> disk(FileSectorDevice::OpenBlockDevice(card.diskDevice));
    if (!disk) {
        DebugLogF("MakeMBR: cannot open %s exclusively\n", card.diskDevice.toUtf8().constData());
        remount();
        return ERR_MBR_READ_ERROR;
    }
    context.device = disk.get();
    context.progressTotal = 0;
    context.scale = profile.scale;

    const int result = BuildCard(context);
    disk->Flush();
    // The kernel learns the new table; a device that cannot re-read it keeps its old view.
    if (::ioctl(disk->Fd(), BLKRRPART) != 0)
        DebugLog("MakeMBR: partition table not re-read");
    context.device = nullptr;
    disk.reset();
    if (result != RETURN_FORMAT_SUCCESS)
        return result;
    remount();
    return 0;
}

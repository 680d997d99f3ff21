// MakeMBR on Windows, step by step: the drive letter's physical disk, the
// guards, the locks, the layout through the physical-disk handle and the final dismount.
#include "formatter/make_mbr.h"

#include "file/debug_log.h"

#include <memory>

namespace {

// Sector 0 of the physical disk: 5, 6, or 104 when it cannot be read.
int ReadMBR(RawDisk *disk)
{
    Sector s;
    if (!disk || !disk->ReadSector(0, s))
        return ERR_MBR_READ_ERROR;
    return IsOwnMBR(s) ? RETURN_HASMBR : RETURN_HASNOTMBR;
}

} // namespace

int MakeMBR(FormatContext &context, const QString &cardRoot, const FormatProfile &profile,
            const CardHost &host)
{
    // 1. The root of the letter.
    const wchar_t letter = cardRoot.isEmpty() ? L'\0' : wchar_t(cardRoot.at(0).toUpper().unicode());
    const QString root = QStringLiteral("%1:\\").arg(QChar(letter));
    if (profile.logsMakeMBRStart)
        DebugLog("Start MakeMBR() ---");

    // 2. Physical disk 0 is never opened for writing. (-1 passes: that disk cannot be opened.)
    const int number = host.diskNumber(letter);
    if (number == 0)
        return ERR_PHYSUCALDRIVE;

    // 3, 4. Only a card that is FAT32 now is rebuilt.
    QString fileSystem;
    if (!host.fileSystemName(root, &fileSystem))
        return ERR_FORMAT_TYPE_UNKNOWN;
    if (fileSystem != QLatin1String("FAT32"))
        return ERR_FAT16_PARTITION;

    // 5, 6. A card that carries this tool's layout is left to the quick format.
    std::unique_ptr<RawDisk> disk = host.openPhysicalDisk(number);
    const int mbr = ReadMBR(disk.get());
    if (mbr != RETURN_HASNOTMBR)
        return mbr;
    context.device = disk.get();
    context.progressTotal = 0;
    context.scale = profile.scale;
    const auto done = [&](int result) {
        context.device = nullptr;
        return result;
    };

    // 7, 8. From here sector 0 is rewritten; 9-11, the volume is locked for the FAT32 area.
    disk->Lock();
    std::unique_ptr<RawVolume> volume;
    const int result = BuildCard(context, [&] {
        volume = host.openVolume(letter);
        if (volume)
            volume->Lock();
    });

    // 12. (No volume was opened when the partition table failed.)
    if (result != RETURN_FORMAT_SUCCESS) {
        if (volume)
            volume->Unlock();
        disk->Unlock();
        return done(result);
    }

    // 13. The volume is dismounted without being unlocked first; these failures are not told.
    if (volume)
        volume->Flush();
    disk->Flush();
    disk->Unlock();
    context.device = nullptr;
    disk.reset();
    if (volume) {
        volume->Dismount();
        if (!host.versionTest())
            volume->AllowExtendedDasdIo();
    }
    return 0;
}

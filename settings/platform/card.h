// What the card formatter asks of the system it runs on, beside the core of platform.h: which
// drive is a memory card, and the card itself during a format (its root, the MakeMBR
// rebuild, the quick format, the volume label). platform/windows does it with the Windows drive,
// volume and physical-disk calls and FormatEx of fmifs.dll; platform/linux with the mount table,
// sysfs, the block devices and dosfstools.
//
// CardHost is the side's own: the system calls it goes through, which tests replace. The build
// puts the side's card_host.h alone on the include path, so "card_host.h" is that side's.
#pragma once

#include "card_host.h"
#include "formatter/fat32_builder.h"
#include "formatter/format_profile.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// The removable-drive test of the relocation and of the format: path lies on a memory card
// (Windows: GetDriveTypeW of its drive's root is DRIVE_REMOVABLE).
bool IsRemovableDrive(const QString &path, const CardHost &host = CardHost::System());

// A disk image file as a sector device (created when missing, never truncated), with the given
// geometry; null when it cannot be opened.
std::unique_ptr<SectorDevice> OpenImageDevice(const QString &path, const DiskGeometry &geometry);

// A packet of the system formatter's progress: 11 ends the format (data[0] is 1 on success),
// 15 is structure progress.
using FormatPacket = std::function<void(int type, const uint8_t *data)>;

struct QuickFormatRun {
    bool ran = false; // the system formatter ran (its packets said how it went)
    QString missing;  // it is not there: the text to show; empty when the card refused it
};

// The card of one format. Made on the user-interface thread before anything is copied; the
// worker thread then works on it alone, and the user-interface thread asks it again once the
// worker has ended.
class FormatCard
{
public:
    virtual ~FormatCard() = default;

    // Nothing happens to a folder that is not on a memory card.
    virtual bool IsCard() const = 0;
    // The card root ("E:/", the mount point and '/'); empty for a card whose file system is
    // not mounted anywhere, which has no files to rescue.
    virtual QString Root() const = 0;
    // Whether path lies on the card: a format takes it away.
    virtual bool IsOnCard(const QString &path) const = 0;

    // Worker thread: MakeMBR on the card; a result code of fat32_builder.h.
    virtual int MakeMBR(FormatContext &context, const FormatProfile &profile) = 0;
    // Worker thread: the quick format of a card that already has this tool's layout.
    virtual QuickFormatRun QuickFormat(const FormatProfile &profile,
                                       const FormatPacket &packet) = 0;
    // Worker thread: SetVolumeLabelW, whatever the format's result.
    virtual void WriteVolumeLabel(const char *label) = 0;

    // After the worker: the card is back where it was, so that its files can go back on it.
    virtual bool IsBack() const = 0;
    // After the worker: why the card could not be formatted because programs hold it (to be
    // added to the failure message); empty when nothing held it.
    virtual QString InUseText() const = 0;
};

// The card that holds cardFolder (a folder ending in '/', or on Linux the device of an
// unmounted card volume).
std::unique_ptr<FormatCard> OpenFormatCard(const QString &cardFolder, const CardHost &host);

} // namespace platform

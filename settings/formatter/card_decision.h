// Which disks are memory cards. The formatter writes nothing to a disk and the tool never moves
// itself off a disk unless this says it is a card; the facts come from the system (sysfs on
// Linux), the decision does not depend on where they came from.
#pragma once

#include <QString>

// What the system tells about one whole disk.
struct DiskFacts {
    bool removable = false; // the system calls its medium removable (USB readers, sticks)
    bool hasDevice = false; // a device stands behind it; device mapper, md, loop have none
    QString bus;            // the bus of that device: "mmc", "scsi", "nvme", "virtio", ...
    QString mmcType;        // on the MMC bus, the card's type: "SD", "MMC" (eMMC), "SDIO"
};

// A memory card: removable media, or an SD card on the MMC bus (a built-in reader reports its
// card as not removable). A soldered eMMC, NVMe and virtio disks and the virtual block devices
// are not cards, whatever else they report.
bool IsMemoryCard(const DiskFacts &disk);

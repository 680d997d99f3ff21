// Finding the card behind a folder on Linux: the mount table gives the folder's file system and
// its device, sysfs the whole disk that holds it and the facts that tell whether it is a memory
// card, libblkid the file system on the volume itself, /proc the programs that hold it.
#pragma once

#include "formatter/card_decision.h"
#include "card_host.h"

#include <QString>
#include <QStringList>

struct MountEntry {
    unsigned major = 0, minor = 0;
    QString mountPoint;
    QString fsType;
    QString source;
};

QList<MountEntry> ReadMountTable(const QString &mountInfo);

struct CardVolume {
    bool mounted = false; // the folder's file system was found in the mount table
    QString mountPoint;   // its mount point (the card root without the trailing slash)
    QString volumeDevice; // the volume's block device node
    QString diskName;     // the whole disk under /sys/block; empty: no single disk
    QString diskDevice;
    QStringList disks;       // every whole disk the volume stands on
    DiskFacts facts;         // of diskName
    bool memoryCard = false; // IsMemoryCard(facts)
    bool systemDisk = false; // holds a file system the running system needs
};

// The card behind a folder (or behind a block device node of its volume).
CardVolume FindCard(const QString &folderOrDevice, const CardHost &host);

// What sysfs tells about a whole disk (a name under /sys/block).
DiskFacts ReadDiskFacts(const QString &diskName, const CardHost &host);

// The guard of every write: a volume on one whole disk that is a memory card and holds nothing
// the running system needs.
bool IsUsableCard(const CardVolume &card);

// The removable-drive test: the folder (or volume device) lies on such a card.
bool IsRemovableCard(const QString &folder, const CardHost &host);

// Whether a path lies on the disk of the card: a format of the card rewrites it.
bool IsOnCard(const QString &path, const CardVolume &card, const CardHost &host);

// The programs that keep files under the mount point open (or run from there, or work there):
// "name (pid)" each, the calling process named as this program.
QStringList ProgramsUsing(const QString &mountPoint, const CardHost &host);

// The volume's file system as the Windows tool named it ("FAT32", "FAT", "exFAT", "NTFS", or
// the type in capitals); empty when it cannot be read.
QString VolumeFileSystem(const QString &volumeDevice);

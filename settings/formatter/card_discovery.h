// Finding the card behind a folder on Linux: the mount table gives the folder's file system and
// its device, sysfs the whole disk that holds it and whether that disk is removable, libblkid
// the file system on the volume itself.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Where the system is looked at and how it is changed; tests hand in a fake sysfs, mount table
// and mount operations.
struct CardHost {
    QString sysRoot = "/sys";
    QString mountInfo = "/proc/self/mountinfo";
    QString devRoot = "/dev";
    QString mkfsFat = "mkfs.fat";
    QString fatlabel = "fatlabel";
    std::function<bool(const QString &mountPoint)> unmount;
    std::function<bool(const QString &device, const QString &mountPoint)> mount;
    std::function<bool()> hasRawAccess;

    // The real system: umount2 (true when nothing is mounted there), mount(2) with vfat, root
    // for raw access.
    static CardHost System();
};

struct MountEntry {
    unsigned major = 0, minor = 0;
    QString mountPoint;
    QString fsType;
    QString source;
};

QList<MountEntry> ReadMountTable(const QString &mountInfo);

struct CardVolume {
    bool mounted = false;      // the folder's file system was found in the mount table
    QString mountPoint;        // its mount point (the card root without the trailing slash)
    QString volumeDevice;      // the volume's block device node
    QString diskName;          // the whole disk under /sys/block; empty: no single disk
    QString diskDevice;
    bool removable = false;    // sysfs removable = 1, or an SD/MMC card
    bool systemDisk = false;   // holds a file system the running system needs
};

// The card behind a folder (or behind a block device node of its volume).
CardVolume FindCard(const QString &folderOrDevice, const CardHost &host);

// The removable-drive test: the folder (or volume device) lies on a removable disk that the
// running system does not need.
bool IsRemovableCard(const QString &folder, const CardHost &host);

// The volume's file system as the Windows tool named it ("FAT32", "FAT", "exFAT", "NTFS", or
// the type in capitals); empty when it cannot be read.
QString VolumeFileSystem(const QString &volumeDevice);

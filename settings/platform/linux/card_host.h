// The Linux system the card formatter works on: where sysfs, the mount table, /dev and /proc are
// looked at, the dosfstools programs it runs, and how it mounts and unmounts; tests hand in a
// fake sysfs, mount table and mount operations.
#pragma once

#include <QString>

#include <functional>

struct CardHost {
    QString sysRoot = "/sys";
    QString mountInfo = "/proc/self/mountinfo";
    QString devRoot = "/dev";
    QString procRoot = "/proc";
    QString mkfsFat = "mkfs.fat";
    QString fatlabel = "fatlabel";
    std::function<bool(const QString &mountPoint)> unmount;
    std::function<bool(const QString &device, const QString &mountPoint)> mount;
    std::function<bool()> hasRawAccess;

    // The real system: umount2 (true when nothing is mounted there), mount(2) with vfat, root
    // for raw access.
    static CardHost System();
};

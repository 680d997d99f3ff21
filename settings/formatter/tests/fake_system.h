// A fake sysfs, device folder and mount table for the card discovery, with recorded mount
// operations.
#pragma once

#include "platform/linux/card_discovery.h"
#include "peer_tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class FakeSystem
{
public:
    FakeSystem()
    {
        root = dir.path();
        QDir(root).mkpath("sys/block");
        QDir(root).mkpath("sys/dev/block");
        QDir(root).mkpath("dev");
        host.sysRoot = root + "/sys";
        host.devRoot = root + "/dev";
        host.mountInfo = root + "/mountinfo";
        host.unmount = [this](const QString &mp) {
            calls.push_back("umount " + mp);
            if (onUnmount)
                onUnmount();
            return unmountWorks;
        };
        host.mount = [this](const QString &dev, const QString &mp) {
            calls.push_back("mount " + dev + " " + mp);
            return true;
        };
        host.hasRawAccess = [this] { return rawAccess; };
        Write("mountinfo", "");
    }

    // A whole disk. removable is its sysfs attribute; bus the subsystem of its device ("scsi"
    // for USB readers and SATA disks, "mmc", "nvme", "virtio"), or "virtual" for a disk without
    // a device (device mapper, md, loop); type the device's type (an MMC card's SD or MMC).
    void AddDisk(const QString &name, bool removable, const QString &bus = "scsi",
                 const QString &type = {})
    {
        const bool isVirtual = bus == "virtual";
        const QString d = isVirtual ? "sys/devices/virtual/block/" + name
                                    : "sys/devices/" + bus + "-host/block/" + name;
        QDir(root).mkpath(d);
        Write(d + "/removable", removable ? "1\n" : "0\n");
        if (!isVirtual) {
            QDir(root).mkpath(d + "/device");
            QDir(root).mkpath("sys/bus/" + bus);
            QFile::link(root + "/sys/bus/" + bus, root + "/" + d + "/device/subsystem");
            if (!type.isEmpty())
                Write(d + "/device/type", (type + "\n").toUtf8());
        }
        QFile::link(root + "/" + d, root + "/sys/block/" + name);
        diskDirs[name] = d;
    }
    // A whole disk as the block device of a volume (a disk without partitions, as a loop device).
    void AddWholeDiskVolume(const QString &disk, int major, int minor)
    {
        QFile::link(root + "/" + diskDirs.at(disk),
                    QStringLiteral("%1/sys/dev/block/%2:%3").arg(root).arg(major).arg(minor));
    }
    void AddPartition(const QString &disk, const QString &name, int major, int minor)
    {
        const QString d = diskDirs.at(disk) + "/" + name;
        QDir(root).mkpath(d);
        Write(d + "/partition", "1\n");
        QFile::link(root + "/" + d,
                    QStringLiteral("%1/sys/dev/block/%2:%3").arg(root).arg(major).arg(minor));
    }
    // A device-mapper volume over partitions.
    void AddMapped(const QString &name, int major, int minor,
                   const std::vector<std::pair<QString, QString>> &slaves)
    {
        const QString d = "sys/devices/virtual/block/" + name;
        QDir(root).mkpath(d + "/slaves");
        for (const auto &[disk, part] : slaves)
            QFile::link(root + "/" + diskDirs.at(disk) + "/" + part,
                        root + "/" + d + "/slaves/" + part);
        QFile::link(root + "/" + d, root + "/sys/block/" + name);
        QFile::link(root + "/" + d,
                    QStringLiteral("%1/sys/dev/block/%2:%3").arg(root).arg(major).arg(minor));
    }
    void AddMount(int major, int minor, const QString &mountPoint, const QString &fs,
                  const QString &source)
    {
        QFile f(root + "/mountinfo");
        f.open(QIODevice::Append);
        QString mp = mountPoint;
        mp.replace(" ", "\\040");
        f.write(QStringLiteral("%1 1 %2:%3 / %4 rw,relatime shared:1 - %5 %6 rw\n")
                    .arg(++mountId)
                    .arg(major)
                    .arg(minor)
                    .arg(mp, fs, source)
                    .toUtf8());
    }
    // The device node: a link to a real device or image file.
    void AddNode(const QString &name, const QString &target)
    {
        QFile::link(target, root + "/dev/" + name);
    }

    void Write(const QString &rel, const QByteArray &text)
    {
        QFile f(root + "/" + rel);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }

    QTemporaryDir dir;
    QString root;
    CardHost host;
    std::vector<QString> calls;
    std::function<void()> onUnmount;
    bool unmountWorks = true;
    bool rawAccess = true;
    int mountId = 20;
    std::map<QString, QString> diskDirs;
};

// The kernel's vfat mount played in user space, since this machine's kernel has no vfat:
// mounting copies the volume's files into the mount point folder with mtools, unmounting writes
// the folder back onto the volume and leaves it empty, as an unmounted mount point is. A volume
// without a FAT file system does not mount; an unmount is refused while a program holds the
// folder. So the files the format leaves in the folder are judged on the card itself.
class MtoolsMount
{
public:
    explicit MtoolsMount(const QString &mountPoint) : m_mountPoint(mountPoint)
    {
        QDir().mkpath(mountPoint);
    }

    bool Mount(const QString &device)
    {
        const QString fs = VolumeFileSystem(device);
        if (mounted || (fs != "FAT32" && fs != "FAT"))
            return false;
        ++mounts;
        // An empty volume has nothing to copy, and mcopy says so.
        RunTool("mcopy", {"-s", "-n", "-i", device, "::*", m_mountPoint + "/"});
        m_device = device;
        mounted = true;
        return true;
    }
    bool Unmount()
    {
        if (!mounted)
            return true;
        if (!ProgramsUsing(m_mountPoint, CardHost{}).isEmpty())
            return false;
        QDir dir(m_mountPoint);
        for (const QString &d : ListOnVolume(true))
            RunTool("mdeltree", {"-i", m_device, "::/" + d});
        for (const QString &f : ListOnVolume(false))
            RunTool("mdel", {"-i", m_device, "::/" + f});
        QStringList args = {"-s", "-o", "-i", m_device};
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &e : entries)
            args << m_mountPoint + "/" + e;
        if (!entries.isEmpty() && RunTool("mcopy", args << "::/") != 0)
            return false;
        for (const QString &e : entries) {
            QFileInfo(m_mountPoint + "/" + e).isDir()
                ? QDir(m_mountPoint + "/" + e).removeRecursively()
                : QFile::remove(m_mountPoint + "/" + e);
        }
        mounted = false;
        return true;
    }
    // A file on the volume itself, read with mtools; "<missing>" when it is not there.
    QByteArray ReadOnVolume(const QString &device, const QString &path)
    {
        const QString local = m_mountPoint + ".read";
        QFile::remove(local);
        if (RunTool("mcopy", {"-n", "-i", device, "::/" + path, local}) != 0)
            return "<missing>";
        QFile f(local);
        const QByteArray bytes =
            f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        QFile::remove(local);
        return bytes;
    }

    bool mounted = false;
    int mounts = 0;

private:
    // The names in the volume's root: its folders or its files.
    QStringList ListOnVolume(bool folders)
    {
        // Standard output only: mtools warns on standard error that a loop device has no
        // geometry, without ending the line.
        QProcess mdir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("MTOOLS_SKIP_CHECK", "1");
        mdir.setProcessEnvironment(env);
        mdir.start("mdir", {"-b", "-i", m_device, "::/"});
        mdir.waitForFinished();
        const QString out = QString::fromUtf8(mdir.readAllStandardOutput());
        QStringList names;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            // mdir -b prints one path per line, folders ending in '/'.
            QString name = line.trimmed();
            if (name.startsWith("::/"))
                name = name.mid(3);
            const bool folder = name.endsWith('/');
            if (folder)
                name.chop(1);
            if (!name.isEmpty() && name != "." && name != ".." && folder == folders)
                names << name;
        }
        return names;
    }

    QString m_mountPoint;
    QString m_device;
};

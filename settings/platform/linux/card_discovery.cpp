#include "platform/linux/card_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <blkid/blkid.h>
#include <cerrno>
#include <libmount/libmount.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Mount points the running system cannot do without.
const char *const kSystemMounts[] = {"/",    "/boot", "/boot/efi", "/usr",
                                     "/var", "/home", "/etc",      "/opt"};

QString ReadAttr(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

struct BlockNode {
    QString dir; // the device's canonical sysfs folder
    QString name;
};

bool SysfsNode(const CardHost &host, unsigned major, unsigned minor, BlockNode &node)
{
    const QFileInfo link(
        QStringLiteral("%1/dev/block/%2:%3").arg(host.sysRoot).arg(major).arg(minor));
    const QString dir = link.canonicalFilePath();
    if (dir.isEmpty())
        return false;
    node = {dir, QFileInfo(dir).fileName()};
    return true;
}

// The whole disks under a block device: its parent for a partition, the disks under every
// member of a device-mapper or multi-device volume, the device itself otherwise.
QStringList DisksOf(const BlockNode &node, int depth = 0)
{
    if (QFileInfo::exists(node.dir + "/partition"))
        return {QFileInfo(QFileInfo(node.dir).path()).fileName()};
    const QStringList slaves =
        QDir(node.dir + "/slaves").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (slaves.isEmpty() || depth > 8)
        return {node.name};
    QStringList disks;
    for (const QString &s : slaves) {
        const QString dir = QFileInfo(node.dir + "/slaves/" + s).canonicalFilePath();
        if (!dir.isEmpty())
            disks += DisksOf({dir, QFileInfo(dir).fileName()}, depth + 1);
    }
    return disks;
}

QString DevNode(const CardHost &host, const QString &sysName)
{
    QString name = sysName;
    return host.devRoot + "/" + name.replace('!', '/');
}

bool OnPath(const QString &path, const QString &mountPoint)
{
    if (mountPoint == "/")
        return path.startsWith('/');
    return path == mountPoint || path.startsWith(mountPoint + "/");
}

} // namespace

CardHost CardHost::System()
{
    CardHost h;
    // Nothing mounted there any more (EINVAL) is as good as unmounted.
    h.unmount = [](const QString &mp) {
        return ::umount2(QFile::encodeName(mp).constData(), 0) == 0 || errno == EINVAL;
    };
    h.mount = [](const QString &dev, const QString &mp) {
        return ::mount(QFile::encodeName(dev).constData(), QFile::encodeName(mp).constData(),
                       "vfat", 0, nullptr) == 0;
    };
    h.hasRawAccess = [] { return ::geteuid() == 0; };
    return h;
}

QList<MountEntry> ReadMountTable(const QString &mountInfo)
{
    QList<MountEntry> entries;
    libmnt_table *table = mnt_new_table();
    if (!table)
        return entries;
    // A line that cannot be read is passed over; the rest of the table still counts.
    mnt_table_set_parser_errcb(table, [](libmnt_table *, const char *, int) { return 1; });
    if (mnt_table_parse_file(table, QFile::encodeName(mountInfo).constData()) == 0) {
        libmnt_iter *it = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs *fs = nullptr;
        while (it && mnt_table_next_fs(table, it, &fs) == 0) {
            // libmount has undone mountinfo's octal escapes of blanks, tabs and backslashes.
            auto text = [](const char *s) { return s ? QFile::decodeName(s) : QString(); };
            MountEntry e;
            e.major = ::major(mnt_fs_get_devno(fs));
            e.minor = ::minor(mnt_fs_get_devno(fs));
            e.mountPoint = text(mnt_fs_get_target(fs));
            e.fsType = text(mnt_fs_get_fstype(fs));
            e.source = text(mnt_fs_get_source(fs));
            entries << e;
        }
        mnt_free_iter(it);
    }
    mnt_unref_table(table);
    return entries;
}

CardVolume FindCard(const QString &folderOrDevice, const CardHost &host)
{
    CardVolume card;
    const QList<MountEntry> mounts = ReadMountTable(host.mountInfo);
    unsigned major = 0, minor = 0;
    bool haveDevice = false;

    struct stat st;
    if (::stat(QFile::encodeName(folderOrDevice).constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
        major = ::major(st.st_rdev);
        minor = ::minor(st.st_rdev);
        haveDevice = true;
    }
    // The folder's file system is the mount with the longest mount point on its path; the last
    // of equal ones is the one on top.
    QString path = QFileInfo(folderOrDevice).canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(folderOrDevice);
    const MountEntry *best = nullptr;
    for (const MountEntry &m : mounts) {
        const bool match =
            haveDevice ? (m.major == major && m.minor == minor) : OnPath(path, m.mountPoint);
        if (match && (!best || haveDevice || m.mountPoint.size() >= best->mountPoint.size())) {
            best = &m;
            if (haveDevice)
                break;
        }
    }
    if (best) {
        card.mounted = true;
        card.mountPoint = best->mountPoint;
        major = best->major;
        minor = best->minor;
        haveDevice = true;
    }
    if (!haveDevice)
        return card;

    BlockNode node;
    if (!SysfsNode(host, major, minor, node))
        return card;
    card.volumeDevice = DevNode(host, node.name);
    const QStringList disks = DisksOf(node);
    // A device-mapper or multi-device volume stands on other devices: it has no single disk.
    const bool composite = !QDir(node.dir + "/slaves").isEmpty(QDir::Dirs | QDir::NoDotAndDotDot);
    card.disks = disks;
    if (!composite && disks.size() == 1) {
        card.diskName = disks[0];
        card.diskDevice = DevNode(host, card.diskName);
        card.facts = ReadDiskFacts(card.diskName, host);
        card.memoryCard = IsMemoryCard(card.facts);
    }

    // The disks that hold what the running system needs.
    QStringList systemDisks;
    for (const MountEntry &m : mounts) {
        bool needed = false;
        for (const char *s : kSystemMounts)
            needed = needed || m.mountPoint == s;
        BlockNode sysNode;
        if (needed && SysfsNode(host, m.major, m.minor, sysNode))
            systemDisks += DisksOf(sysNode);
    }
    for (const QString &d : disks)
        card.systemDisk = card.systemDisk || systemDisks.contains(d);
    for (const char *s : kSystemMounts)
        card.systemDisk = card.systemDisk || card.mountPoint == s;
    return card;
}

DiskFacts ReadDiskFacts(const QString &diskName, const CardHost &host)
{
    DiskFacts facts;
    const QString dir = host.sysRoot + "/block/" + diskName;
    facts.removable = ReadAttr(dir + "/removable") == "1";
    // Device mapper, md, loop and the like live under devices/virtual and have no device.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    facts.hasDevice = !canonical.isEmpty() && !canonical.contains("/devices/virtual/") &&
                      QFileInfo::exists(dir + "/device");
    if (!facts.hasDevice)
        return facts;
    facts.bus = QFileInfo(QFileInfo(dir + "/device/subsystem").canonicalFilePath()).fileName();
    // SCSI devices have a type too (a number); only the MMC bus names the kind of card.
    if (facts.bus == "mmc")
        facts.mmcType = ReadAttr(dir + "/device/type");
    return facts;
}

bool IsUsableCard(const CardVolume &card)
{
    return !card.volumeDevice.isEmpty() && !card.diskName.isEmpty() && card.memoryCard &&
           !card.systemDisk;
}

bool IsRemovableCard(const QString &folder, const CardHost &host)
{
    return IsUsableCard(FindCard(folder, host));
}

bool IsOnCard(const QString &path, const CardVolume &card, const CardHost &host)
{
    if (card.disks.isEmpty())
        return false;
    // A folder that does not exist yet would be made on the file system of its nearest parent.
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(existing) && existing != QFileInfo(existing).path())
        existing = QFileInfo(existing).path();
    const CardVolume other = FindCard(existing, host);
    if (other.mounted && card.mounted && other.mountPoint == card.mountPoint)
        return true;
    for (const QString &d : other.disks)
        if (card.disks.contains(d))
            return true;
    return false;
}

QStringList ProgramsUsing(const QString &mountPoint, const CardHost &host)
{
    const auto target = [](const QString &link) {
        char buf[4096];
        const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf - 1);
        return n > 0 ? QFile::decodeName(QByteArray(buf, int(n))) : QString();
    };
    const QString self = QString::number(::getpid());
    QStringList programs;
    for (const QString &pid : QDir(host.procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        pid.toInt(&number);
        if (!number)
            continue;
        const QString dir = host.procRoot + "/" + pid;
        QStringList links = {dir + "/cwd", dir + "/root", dir + "/exe"};
        for (const QString &fd :
             QDir(dir + "/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
            links << dir + "/fd/" + fd;
        bool uses = false;
        for (const QString &l : links)
            uses = uses || OnPath(target(l), mountPoint);
        // Files mapped into memory: libraries or a program started from the card.
        QFile maps(dir + "/maps");
        if (!uses && maps.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : maps.readAll().split('\n')) {
                const int slash = line.indexOf('/');
                if (slash >= 0 && OnPath(QFile::decodeName(line.mid(slash)), mountPoint)) {
                    uses = true;
                    break;
                }
            }
        }
        if (!uses)
            continue;
        const QString name = ReadAttr(dir + "/comm");
        programs << (pid == self ? QStringLiteral("%1 (this program, %2)")
                                 : QStringLiteral("%1 (%2)"))
                        .arg(name, pid);
    }
    return programs;
}

QString VolumeFileSystem(const QString &volumeDevice)
{
    blkid_probe pr = blkid_new_probe_from_filename(QFile::encodeName(volumeDevice).constData());
    if (!pr)
        return {};
    blkid_probe_enable_superblocks(pr, 1);
    blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
    QString result;
    if (blkid_do_safeprobe(pr) == 0) {
        const char *type = nullptr, *version = nullptr;
        blkid_probe_lookup_value(pr, "TYPE", &type, nullptr);
        blkid_probe_lookup_value(pr, "VERSION", &version, nullptr);
        const QString t = QString::fromUtf8(type ? type : "");
        if (t == "vfat")
            result = QString::fromUtf8(version ? version : "") == "FAT32" ? "FAT32" : "FAT";
        else if (t == "exfat")
            result = "exFAT";
        else if (!t.isEmpty())
            result = t.toUpper();
    }
    blkid_free_probe(pr);
    return result;
}

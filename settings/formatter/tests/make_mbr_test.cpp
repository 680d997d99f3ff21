#include "platform/linux/card_discovery.h"
#include "formatter/make_mbr.h"
#include "platform/linux/sector_devices.h"
#include "fake_system.h"
#include "peer_tools.h"

#include "file/debug_log.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray FileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

// A volume image of the given kind, made by the system's own tools.
QString MakeVolume(const QString &dir, const QString &kind, uint64_t sectors = 64 * 2048)
{
    const QString path = dir + "/vol-" + kind + ".img";
    MakeSparseImage(path, sectors);
    if (kind == "fat32")
        RunTool("mkfs.fat", {"-F", "32", path});
    else if (kind == "fat16")
        RunTool("mkfs.fat", {"-F", "16", path});
    else if (kind == "ext2")
        RunTool("mkfs.ext2", {"-q", "-F", path});
    return path;
}

// sdz: a removable USB card with one partition mounted at /media/card.
void AddCard(FakeSystem &sys, bool removable = true)
{
    sys.AddDisk("sdz", removable);
    sys.AddPartition("sdz", "sdz1", 65, 145);
    sys.AddMount(65, 145, "/media/card", "vfat", "/dev/sdz1");
}

// sda: the fixed disk with the root file system.
void AddSystemDisk(FakeSystem &sys)
{
    sys.AddDisk("sda", false, "scsi");
    sys.AddPartition("sda", "sda1", 8, 1);
    sys.AddPartition("sda", "sda2", 8, 2);
    sys.AddMount(8, 1, "/", "ext4", "/dev/sda1");
}

TEST(CardDiscoveryTest, FindsTheDiskBehindAFolder)
{
    FakeSystem sys;
    AddSystemDisk(sys);
    AddCard(sys);
    sys.AddMount(8, 2, "/media/data", "vfat", "/dev/sda2");
    sys.AddDisk("mmcblk0", false, "mmc", "SD");
    sys.AddPartition("mmcblk0", "mmcblk0p1", 179, 1);
    sys.AddMount(179, 1, "/media/my card", "vfat", "/dev/mmcblk0p1");
    sys.AddDisk("mmcblk1", false, "mmc", "MMC");
    sys.AddPartition("mmcblk1", "mmcblk1p1", 179, 9);
    sys.AddMount(179, 9, "/media/emmc", "vfat", "/dev/mmcblk1p1");
    sys.AddMapped("dm-0", 254, 0, {{"sdz", "sdz1"}});
    sys.AddMount(254, 0, "/media/mapped", "vfat", "/dev/mapper/card");

    struct Case {
        QString folder;
        bool mounted;
        QString mountPoint, disk, volume;
        bool memoryCard, system, removableCard;
    };
    const Case cases[] = {
        {"/media/card/DCIM/", true, "/media/card", "sdz", "sdz1", true, false, true},
        {"/media/card", true, "/media/card", "sdz", "sdz1", true, false, true},
        {"/media/cardx/", true, "/", "sda", "sda1", false, true, false},
        {"/media/my card/SETUP/", true, "/media/my card", "mmcblk0", "mmcblk0p1", true, false,
         true},
        {"/media/emmc/", true, "/media/emmc", "mmcblk1", "mmcblk1p1", false, false, false},
        {"/media/data/x/", true, "/media/data", "sda", "sda2", false, true, false},
        {"/media/mapped/", true, "/media/mapped", "", "dm-0", false, false, false},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.folder.toStdString());
        const CardVolume card = FindCard(tc.folder, sys.host);
        EXPECT_EQ(card.mounted, tc.mounted);
        EXPECT_EQ(card.mountPoint, tc.mountPoint);
        EXPECT_EQ(card.diskName, tc.disk);
        EXPECT_EQ(card.volumeDevice, sys.root + "/dev/" + tc.volume);
        EXPECT_EQ(card.memoryCard, tc.memoryCard);
        EXPECT_EQ(card.systemDisk, tc.system);
        EXPECT_EQ(IsRemovableCard(tc.folder, sys.host), tc.removableCard);
    }
    FakeSystem empty;
    EXPECT_FALSE(FindCard("/media/card/", empty.host).mounted);
    EXPECT_FALSE(IsRemovableCard("/media/card/", empty.host));
}

// What is a memory card, decided from sysfs alone, and the same decision at every guard: the
// removable-drive test of the format and the relocation, and MakeMBR's refusal.
TEST(CardDecisionTest, OnlyMemoryCardsAreCards)
{
    struct Case {
        const char *what;
        QString disk;
        bool removable;
        QString bus, type;
        bool card;
    };
    const Case cases[] = {
        {"USB card reader", "sdb", true, "scsi", "0", true},
        {"SD card in a built-in reader", "mmcblk0", false, "mmc", "SD", true},
        {"SD card in a reader that calls it removable", "mmcblk2", true, "mmc", "SD", true},
        {"soldered eMMC", "mmcblk1", false, "mmc", "MMC", false},
        {"SDIO device", "mmcblk3", false, "mmc", "SDIO", false},
        {"SD type off the MMC bus", "sdd", false, "scsi", "SD", false},
        {"SATA disk", "sda", false, "scsi", "0", false},
        {"NVMe disk", "nvme0n1", false, "nvme", "", false},
        {"virtio disk", "vda", false, "virtio", "", false},
        {"device mapper", "dm-0", false, "virtual", "", false},
        {"md array", "md0", false, "virtual", "", false},
        {"loop device", "loop0", false, "virtual", "", false},
        {"loop device calling itself removable", "loop1", true, "virtual", "", false},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.what);
        FakeSystem sys;
        sys.AddDisk(tc.disk, tc.removable, tc.bus, tc.type);
        // Virtual disks carry their file system without partitions.
        QString volume = tc.disk;
        if (tc.bus == "virtual") {
            sys.AddWholeDiskVolume(tc.disk, 240, 1);
        } else {
            volume = tc.disk + "p1";
            sys.AddPartition(tc.disk, volume, 240, 1);
            sys.AddNode(tc.disk, MakeVolume(sys.root, "disk", 16 * 2048));
        }
        sys.AddNode(volume, MakeVolume(sys.root, "fat16", 16 * 2048));
        sys.AddMount(240, 1, "/media/card", "vfat", "/dev/" + volume);

        const DiskFacts facts = ReadDiskFacts(tc.disk, sys.host);
        EXPECT_EQ(facts.removable, tc.removable);
        EXPECT_EQ(facts.hasDevice, tc.bus != "virtual");
        EXPECT_EQ(IsMemoryCard(facts), tc.card);
        const CardVolume card = FindCard("/media/card/SETUP/", sys.host);
        EXPECT_EQ(card.diskName, tc.disk);
        EXPECT_EQ(card.memoryCard, tc.card);
        EXPECT_EQ(IsRemovableCard("/media/card/SETUP/", sys.host), tc.card);
        // A card gets as far as its file system (FAT16 here); anything else is refused first.
        const QByteArray before = FileHash(sys.root + "/dev/" + volume);
        DebugLogCapture log;
        FormatContext c;
        EXPECT_EQ(MakeMBR(c, "/media/card/SETUP/", K420_Format, sys.host),
                  tc.card ? ERR_FAT16_PARTITION : ERR_PHYSUCALDRIVE);
        EXPECT_EQ(FileHash(sys.root + "/dev/" + volume), before);
        EXPECT_TRUE(sys.calls.empty());
    }
}

TEST(VolumeFileSystemTest, NamesTheVolumesFileSystem)
{
    FakeSystem sys;
    EXPECT_EQ(VolumeFileSystem(MakeVolume(sys.root, "fat32")), "FAT32");
    EXPECT_EQ(VolumeFileSystem(MakeVolume(sys.root, "fat16")), "FAT");
    EXPECT_EQ(VolumeFileSystem(MakeVolume(sys.root, "ext2")), "EXT2");
    EXPECT_EQ(VolumeFileSystem(MakeVolume(sys.root, "zero")), "");
    EXPECT_EQ(VolumeFileSystem(sys.root + "/missing"), "");
}

struct RefusalCase {
    const char *name;
    int code;
};

TEST(MakeMBRTest, RefusesBeforeAnyByteIsWritten)
{
    const RefusalCase cases[] = {
        {"not removable", ERR_PHYSUCALDRIVE},
        {"system disk", ERR_PHYSUCALDRIVE},
        {"mapped volume", ERR_MBR_READ_ERROR},
        {"fat16", ERR_FAT16_PARTITION},
        {"ext2", ERR_FAT16_PARTITION},
        {"no file system", ERR_FORMAT_TYPE_UNKNOWN},
        {"not mounted", ERR_FORMAT_TYPE_UNKNOWN},
        {"no root", ERR_MBR_READ_ERROR},
        {"cannot unmount", ERR_MBR_READ_ERROR},
        {"disk is no block device", ERR_MBR_READ_ERROR},
    };
    for (const auto &tc : cases) {
        const std::string name = tc.name;
        SCOPED_TRACE(name);
        FakeSystem sys;
        QString folder = "/media/card/DCIM/";
        QString kind = "fat32";
        if (name == "system disk") {
            AddSystemDisk(sys);
            sys.AddMount(8, 2, "/media/card", "vfat", "/dev/sda2");
            sys.AddNode("sda2", MakeVolume(sys.root, kind));
            sys.AddNode("sda", MakeVolume(sys.root, "disk"));
        } else if (name == "mapped volume") {
            sys.AddDisk("sdz", true);
            sys.AddPartition("sdz", "sdz1", 65, 145);
            sys.AddMapped("dm-0", 254, 0, {{"sdz", "sdz1"}});
            sys.AddMount(254, 0, "/media/card", "vfat", "/dev/mapper/card");
            sys.AddNode("dm-0", MakeVolume(sys.root, kind));
        } else {
            AddCard(sys, name != "not removable");
            if (name == "fat16" || name == "ext2")
                kind = name.c_str();
            if (name == "no file system")
                kind = "zero";
            if (name == "not mounted")
                folder = "/media/other/";
            sys.AddNode("sdz1", MakeVolume(sys.root, kind));
            sys.AddNode("sdz", MakeVolume(sys.root, "disk"));
        }
        sys.rawAccess = name != "no root";
        sys.unmountWorks = name != "cannot unmount";
        QStringList hashes;
        const QStringList nodes = QDir(sys.root + "/dev").entryList(QDir::System | QDir::Files);
        for (const QString &n : nodes)
            hashes << FileHash(sys.root + "/dev/" + n).toHex();

        DebugLogCapture log;
        FormatContext c;
        EXPECT_EQ(MakeMBR(c, folder, K420_Format, sys.host), tc.code);
        EXPECT_EQ(c.device, nullptr);
        for (int i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(FileHash(sys.root + "/dev/" + nodes[i]).toHex(), hashes[i]);
        EXPECT_EQ(log.messages().value(0), "Start MakeMBR() ---");
        if (name == "no root") {
            EXPECT_TRUE(log.messages().join('|').contains("needs root; nothing written"))
                << log.messages().join('|').toStdString();
        }
        if (name == "cannot unmount") {
            ASSERT_EQ(sys.calls.size(), 1u);
            EXPECT_EQ(sys.calls[0], "umount /media/card");
        } else if (name == "disk is no block device") {
            // Unmounted for the exclusive open, mounted again when it failed.
            ASSERT_EQ(sys.calls.size(), 2u);
            EXPECT_EQ(sys.calls[1], "mount " + sys.root + "/dev/sdz1 /media/card");
        } else {
            EXPECT_TRUE(sys.calls.empty());
        }
    }
}

TEST(MountTableTest, EscapesOptionalFieldsAndUnreadableLines)
{
    FakeSystem sys;
    sys.Write("mountinfo",
              "21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
              "22 21 179:1 / /media/user/K420\\040card rw,nosuid shared:7 master:2 - vfat "
              "/dev/mmcblk0p1 rw\n"
              "a line that is not one\n"
              "23 21 7:3 / /mnt/tab\\011and\\134back rw - vfat /dev/loop3 rw\n"
              "24 21 0:5 /sub /run/bind rw shared:1 - tmpfs none rw\n");
    struct Want {
        unsigned major, minor;
        const char *mountPoint, *fsType, *source;
    };
    const Want want[] = {{8, 1, "/", "ext4", "/dev/sda1"},
                         {179, 1, "/media/user/K420 card", "vfat", "/dev/mmcblk0p1"},
                         {7, 3, "/mnt/tab\tand\\back", "vfat", "/dev/loop3"},
                         {0, 5, "/run/bind", "tmpfs", "none"}};
    const QList<MountEntry> got = ReadMountTable(sys.root + "/mountinfo");
    ASSERT_EQ(got.size(), int(std::size(want)));
    for (int i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].major, want[i].major) << i;
        EXPECT_EQ(got[i].minor, want[i].minor) << i;
        EXPECT_EQ(got[i].mountPoint, QString::fromUtf8(want[i].mountPoint)) << i;
        EXPECT_EQ(got[i].fsType, want[i].fsType) << i;
        EXPECT_EQ(got[i].source, want[i].source) << i;
    }
    EXPECT_TRUE(ReadMountTable(sys.root + "/no-such-table").isEmpty());
}

TEST(MountTableTest, TheSystemsTableAsFindmntReadsIt)
{
    QString out;
    ASSERT_EQ(RunTool("findmnt",
                      {"--kernel", "--raw", "--noheadings", "--output", "MAJ:MIN,FSTYPE"}, &out),
              0);
    QStringList peer = out.split('\n', Qt::SkipEmptyParts);
    QStringList ours;
    for (const MountEntry &m : ReadMountTable("/proc/self/mountinfo"))
        ours << QStringLiteral("%1:%2 %3").arg(m.major).arg(m.minor).arg(m.fsType);
    ASSERT_FALSE(ours.isEmpty());
    EXPECT_EQ(ours, peer);
}

TEST(CardHostTest, SystemUnmountLeavesNothingMounted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root; the system's unmount is not tested";
    FakeSystem sys;
    const QString mp = sys.root + "/mnt";
    QDir().mkpath(mp);
    if (::mount("none", QFile::encodeName(mp).constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "tmpfs mount refused";
    const auto mounted = [&] {
        for (const MountEntry &m : ReadMountTable("/proc/self/mountinfo"))
            if (m.mountPoint == mp)
                return true;
        return false;
    };
    ASSERT_TRUE(mounted());
    const CardHost host = CardHost::System();
    EXPECT_TRUE(host.unmount(mp));
    EXPECT_FALSE(mounted());
    EXPECT_TRUE(host.unmount(mp));
    EXPECT_TRUE(host.hasRawAccess());
}

// A card formatted elsewhere: an MBR with one FAT32 partition at 2048, on loop devices.
class LoopCardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "loop devices need root; the block-device path is not tested";
        image = sys.root + "/card.img";
        ASSERT_TRUE(MakeSparseImage(image, kSectors));
        QString out;
        ASSERT_EQ(RunTool("sfdisk", {"-q", image}, &out, "2048,,c\n"), 0) << out.toStdString();
        if (RunTool("losetup", {"-f", "--show", image}, &out) != 0)
            GTEST_SKIP() << "losetup refused: " << out.toStdString();
        disk = out.trimmed();
        ASSERT_EQ(
            RunTool("losetup", {"-f", "--show", "-o", QString::number(2048 * 512), image}, &out), 0)
            << out.toStdString();
        part = out.trimmed();
        ASSERT_EQ(RunTool("mkfs.fat", {"-F", "32", part}, &out), 0) << out.toStdString();
        AddCard(sys);
        sys.AddNode("sdz", disk);
        sys.AddNode("sdz1", part);
    }
    void TearDown() override
    {
        if (!part.isEmpty())
            RunTool("losetup", {"-d", part});
        if (!disk.isEmpty())
            RunTool("losetup", {"-d", disk});
    }
    Sector Sector0()
    {
        Sector s{};
        QFile f(image);
        f.open(QIODevice::ReadOnly);
        f.read(reinterpret_cast<char *>(s.data()), 512);
        return s;
    }

    static constexpr uint64_t kSectors = 600000;
    FakeSystem sys;
    QString image, disk, part;
};

TEST_F(LoopCardTest, RebuildsACardFormattedElsewhere)
{
    bool oldTableWhenUnmounted = false;
    sys.onUnmount = [&] { oldTableWhenUnmounted = !IsOwnMBR(Sector0()); };
    DebugLogCapture log;
    FormatContext c;
    ASSERT_EQ(MakeMBR(c, "/media/card/DCIM/", K420_Format, sys.host), 0)
        << log.messages().join('|').toStdString();
    EXPECT_TRUE(oldTableWhenUnmounted);
    ASSERT_EQ(sys.calls.size(), 2u);
    EXPECT_EQ(sys.calls[0], "umount /media/card");
    EXPECT_EQ(sys.calls[1], "mount " + sys.root + "/dev/sdz1 /media/card");
    EXPECT_TRUE(log.messages().contains(sys.root + "/dev/sdz"));
    FormatLayout l{};
    ASSERT_TRUE(ComputeLayout(kSectors, l));
    EXPECT_EQ(c.progressTotal, PlanSectorCount(l));

    QString out;
    ASSERT_EQ(RunTool("sfdisk", {"-d", image}, &out), 0);
    EXPECT_TRUE(out.contains(
        QStringLiteral("start=        8192, size=%1, type=c").arg(l.volumeSectors, 12)))
        << out.toStdString();
    const QStringList findings = FsckFindings(image, l.volumeSectors, sys.root);
    ASSERT_EQ(findings.size(), 2) << findings.join('\n').toStdString();
    EXPECT_EQ(findings[0], kLabelFinding);
    EXPECT_TRUE(findings[1].startsWith(kFreeCountFinding));

    // Now it carries this tool's MBR: nothing more is written, the caller quick-formats.
    const QByteArray before = FileHash(image);
    sys.calls.clear();
    EXPECT_EQ(MakeMBR(c, "/media/card/DCIM/", K420_Format, sys.host), RETURN_HASMBR);
    EXPECT_EQ(FileHash(image), before);
    EXPECT_TRUE(sys.calls.empty());
}

TEST_F(LoopCardTest, KZ7100LogsNoStartLine)
{
    DebugLogCapture log;
    FormatContext c;
    ASSERT_EQ(MakeMBR(c, "/media/card/", KZ7100_Format, sys.host), 0);
    EXPECT_FALSE(log.messages().contains("Start MakeMBR() ---"));
    EXPECT_EQ(c.scale, ProgressScale::From0);
}

} // namespace

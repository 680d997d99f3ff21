// The card formatter's Windows side. MakeMBR's guards, locks and result codes, and the format
// procedure's paths (rebuild, quick format through FormatEx, a missing fmifs.dll), on a fake of
// the drive, volume and physical-disk calls; then the real calls as far as Wine carries them:
// drive types, the file-system name, and a loop device mapped as drive S: for raw volume access.
#include "formatter/card_format.h"
#include "formatter/make_mbr.h"
#include "platform/card.h"
#include "platform/windows/raw_disk.h"
#include "test_files.h"
#include "test_format_ui.h"

#include "file/debug_log.h"
#include "locale/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "formatter_windows_card_test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// What the fake disk and volume were asked, in order.
using Calls = std::vector<std::string>;

// A physical disk in memory; its writes can be refused from a sector on.
class FakeDisk : public RawDisk
{
public:
    FakeDisk(uint64_t sectors, Calls &calls) : m_sectors(sectors), m_calls(calls) {}
    ~FakeDisk() override { m_calls.push_back("disk close"); }
    bool ReadSector(uint32_t lba, Sector &out) override
    {
        auto it = data.find(lba);
        if (it == data.end())
            out.fill(0);
        else
            out = it->second;
        return true;
    }
    bool Flush() override
    {
        m_calls.push_back("disk flush");
        return true;
    }
    uint64_t SectorCount() override { return m_sectors; }
    bool Geometry(DiskGeometry &geometry) override
    {
        geometry = {255, 63};
        return true;
    }
    void Lock() override { m_calls.push_back("disk lock"); }
    void Unlock() override { m_calls.push_back("disk unlock"); }

    std::map<uint32_t, Sector> data;
    uint32_t refuseFrom = UINT32_MAX;
    int writes = 0;

protected:
    bool WriteOnce(uint32_t lba, const Sector &s) override
    {
        if (lba >= refuseFrom)
            return false;
        ++writes;
        data[lba] = s;
        return true;
    }

private:
    uint64_t m_sectors;
    Calls &m_calls;
};

class FakeVolume : public RawVolume
{
public:
    explicit FakeVolume(Calls &calls) : m_calls(calls) {}
    ~FakeVolume() override { m_calls.push_back("volume close"); }
    void Lock() override { m_calls.push_back("volume lock"); }
    void Unlock() override { m_calls.push_back("volume unlock"); }
    void Flush() override { m_calls.push_back("volume flush"); }
    void Dismount() override { m_calls.push_back("volume dismount"); }
    void AllowExtendedDasdIo() override { m_calls.push_back("volume allow extended"); }

private:
    Calls &m_calls;
};

// Drive E: on physical disk 1, a FAT32 card of 600 000 sectors, unless a case says otherwise.
struct FakeWindows {
    unsigned driveType = DRIVE_REMOVABLE;
    int diskNumber = 1;
    bool fileSystemKnown = true;
    QString fileSystem = "FAT32";
    bool diskOpens = true;
    bool volumeOpens = true;
    bool version6 = true;
    uint64_t sectors = 600000;
    bool ownMbr = false;
    uint32_t refuseFrom = UINT32_MAX;
    Calls calls;
    QStringList labels;
    FakeDisk *disk = nullptr; // the disk of the last open, while MakeMBR holds it
    std::map<uint32_t, Sector> written;

    CardHost Host()
    {
        CardHost h;
        h.driveType = [this](const QString &root) {
            calls.push_back("drive type " + root.toStdString());
            return driveType;
        };
        h.diskNumber = [this](wchar_t letter) {
            calls.push_back(std::string("disk number ") + char(letter));
            return diskNumber;
        };
        h.fileSystemName = [this](const QString &root, QString *fs) {
            calls.push_back("file system " + root.toStdString());
            *fs = fileSystem;
            return fileSystemKnown;
        };
        h.openPhysicalDisk = [this](int number) -> std::unique_ptr<RawDisk> {
            calls.push_back("open disk " + std::to_string(number));
            if (!diskOpens)
                return nullptr;
            auto d = std::make_unique<Keeper>(*this);
            if (ownMbr)
                d->data[0] = MakeMBRSector({255, 63}, 591808);
            d->refuseFrom = refuseFrom;
            disk = d.get();
            return d;
        };
        h.openVolume = [this](wchar_t letter) -> std::unique_ptr<RawVolume> {
            calls.push_back(std::string("open volume ") + char(letter));
            if (!volumeOpens)
                return nullptr;
            return std::make_unique<FakeVolume>(calls);
        };
        h.versionTest = [this] { return version6; };
        h.setVolumeLabel = [this](const QString &root, const QString &label) {
            labels << root + " " + label;
            return false;
        };
        h.formatterLibrary = "no-such-fmifs.dll";
        return h;
    }

    // The disk keeps what was written once MakeMBR has closed it.
    class Keeper : public FakeDisk
    {
    public:
        explicit Keeper(FakeWindows &w) : FakeDisk(w.sectors, w.calls), m_w(w) {}
        ~Keeper() override
        {
            m_w.written = data;
            m_w.disk = nullptr;
        }

    private:
        FakeWindows &m_w;
    };
};

// The calls from first on; the write plan's own flushes of the disk left out.
Calls After(const Calls &calls, const std::string &first)
{
    Calls out;
    bool on = false, planDone = false;
    for (const std::string &c : calls) {
        on = on || c == first;
        planDone = planDone || c == "volume flush" || c == "disk unlock";
        if (on && (c != "disk flush" || planDone))
            out.push_back(c);
    }
    return out;
}

// Empties a drive's root without removing the root itself.
void EmptyFolder(const QString &folder)
{
    const QDir dir(folder);
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (entry.isDir())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

class WindowsMakeMBR : public ::testing::Test
{
protected:
    int Run(const FormatProfile &profile = K420_Format)
    {
        FormatContext context;
        const int result = MakeMBR(context, "E:/", profile, fake.Host());
        EXPECT_EQ(context.device, nullptr) << "no handle outlives MakeMBR";
        return result;
    }
    FakeWindows fake;
    DebugLogCapture log;
};

TEST_F(WindowsMakeMBR, PhysicalDiskZeroIsRefusedBeforeTheFileSystemIsAsked)
{
    fake.diskNumber = 0;
    EXPECT_EQ(Run(), ERR_PHYSUCALDRIVE);
    EXPECT_EQ(fake.calls, (Calls{"disk number E"}));
}

TEST_F(WindowsMakeMBR, OnlyAFat32CardIsRebuilt)
{
    struct Case {
        bool known;
        const char *fs;
        int result;
    } cases[] = {
        {false, "", ERR_FORMAT_TYPE_UNKNOWN}, {true, "FAT", ERR_FAT16_PARTITION},
        {true, "exFAT", ERR_FAT16_PARTITION}, {true, "NTFS", ERR_FAT16_PARTITION},
        {true, "fat32", ERR_FAT16_PARTITION},
    };
    for (const Case &c : cases) {
        fake.calls.clear();
        fake.fileSystemKnown = c.known;
        fake.fileSystem = c.fs;
        EXPECT_EQ(Run(), c.result) << c.fs;
        EXPECT_EQ(fake.calls, (Calls{"disk number E", "file system E:\\"})) << c.fs;
    }
}

TEST_F(WindowsMakeMBR, ADiskThatCannotBeOpenedOrReadIs104)
{
    // No extent (-1) passes the disk-0 test; that disk does not open.
    fake.diskNumber = -1;
    fake.diskOpens = false;
    EXPECT_EQ(Run(), ERR_MBR_READ_ERROR);
    EXPECT_EQ(fake.calls, (Calls{"disk number E", "file system E:\\", "open disk -1"}));
}

TEST_F(WindowsMakeMBR, ACardWithThisToolsLayoutIsLeftAlone)
{
    fake.ownMbr = true;
    for (const FormatProfile *p : {&K420_Format, &KZ7100_Format}) {
        fake.calls.clear();
        EXPECT_EQ(Run(*p), RETURN_HASMBR);
        EXPECT_EQ(fake.written.size(), 1u) << "nothing written";
        EXPECT_EQ(After(fake.calls, "open disk 1"), (Calls{"open disk 1", "disk close"}));
    }
}

TEST_F(WindowsMakeMBR, TheRebuildLocksWritesAndDismounts)
{
    for (const bool version6 : {true, false}) {
        SCOPED_TRACE(version6);
        fake.calls.clear();
        fake.version6 = version6;
        log.clear();
        EXPECT_EQ(Run(), 0);
        Calls wanted = {"open disk 1", "disk lock",    "open volume E",
                        "volume lock", "volume flush", "disk flush",
                        "disk unlock", "disk close",   "volume dismount"};
        if (!version6)
            wanted.push_back("volume allow extended");
        wanted.push_back("volume close");
        EXPECT_EQ(After(fake.calls, "open disk 1"), wanted);
        // The card's new layout: this tool's MBR and the FAT32 boot sector at 8192.
        ASSERT_TRUE(fake.written.count(0));
        EXPECT_TRUE(IsOwnMBR(fake.written[0]));
        FormatLayout layout{};
        ASSERT_TRUE(ComputeLayout(600000, layout));
        ASSERT_TRUE(fake.written.count(kPartitionStart));
        Sector boot = MakeBPB32Structure(layout), got = fake.written[kPartitionStart];
        for (int k = 67; k < 71; ++k) // the volume id differs each run
            boot[k] = got[k] = 0;
        EXPECT_EQ(got, boot);
        EXPECT_EQ(log.messages().value(0), "Start MakeMBR() ---");
    }
}

TEST_F(WindowsMakeMBR, AFailedWriteUnlocksBothAndDismountsNothing)
{
    // The plan's first step (the boot sector at 8192) keeps failing.
    fake.refuseFrom = kPartitionStart;
    EXPECT_EQ(Run(), ERR_FORMAT_ERROR_BPB1_SEC_WRITE);
    EXPECT_EQ(After(fake.calls, "open disk 1"),
              (Calls{"open disk 1", "disk lock", "open volume E", "volume lock", "volume unlock",
                     "disk unlock", "volume close", "disk close"}));
}

TEST_F(WindowsMakeMBR, ACardTooSmallForTheLayoutStopsAfterTheClearingSector)
{
    fake.sectors = 1000;
    EXPECT_EQ(Run(), kPartitionTableFailure);
    EXPECT_EQ(After(fake.calls, "open disk 1"),
              (Calls{"open disk 1", "disk lock", "disk unlock", "disk close"}));
    EXPECT_EQ(fake.written.at(0), ClearingSector());
}

TEST_F(WindowsMakeMBR, KZ7100DoesNotLogItsStart)
{
    EXPECT_EQ(Run(KZ7100_Format), 0);
    EXPECT_FALSE(log.messages().contains("Start MakeMBR() ---"));
}

// The procedure on drive R: of the prefix, a folder of the build mapped as a removable drive,
// with the fake disk behind it.
class WindowsFormat : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        {
            DebugLogCapture quiet;
            SelectLanguage("english");
        }
        ASSERT_TRUE(pc.isValid());
        EmptyFolder(card);
        ASSERT_TRUE(QDir().mkpath(card + "SETTING"));
        WriteFile(folder + "setup.cfg", "settings record");
        WriteFile(card + "MLO", "first stage");
        WriteFile(card + "boot.scr", "boot script");
        WriteFile(pc.filePath("K420_Setting.exe"), "the settings tool");
        // What a format leaves on the card.
        ui.whilePopupUp = [this] { EmptyFolder(card); };
    }
    void TearDown() override { EmptyFolder(card); }
    FormatJob Job()
    {
        FormatJob job;
        job.cardFolder = folder;
        job.programFile = pc.filePath("K420_Setting.exe");
        job.host = host;
        job.ui = &ui;
        return job;
    }
    void ExpectFilesBack()
    {
        EXPECT_EQ(ReadAll(folder + "setup.cfg"), "settings record");
        EXPECT_EQ(ReadAll(folder + "K420_Setting.exe"), "the settings tool");
        EXPECT_EQ(ReadAll(card + "MLO"), "first stage");
        EXPECT_EQ(ReadAll(card + "boot.scr"), "boot script");
    }

    const QString card = "R:/";
    const QString folder = "R:/SETTING/";
    QTemporaryDir pc;
    FakeWindows fake;
    CardHost host = fake.Host();
    TestFormatUi ui;
};

const QString kFailure = "message Formatting memory card|Cannot format the memory card.\r\n"
                         "It is currently being used by Orbilux or another program.\r\n";
const QString kSuccess = "message Formatting memory card|Memory card formatted completely";

TEST_F(WindowsFormat, AFixedDriveIsNotTouched)
{
    fake.driveType = DRIVE_FIXED;
    host = fake.Host();
    SDCardFormat(Job());
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(fake.calls, (Calls{"drive type R:/"}));
}

TEST_F(WindowsFormat, TheRebuildPutsTheFilesBackAndLabelsTheCard)
{
    DebugLogCapture log;
    SDCardFormat(Job());
    EXPECT_EQ(g_nFormatDone, 1);
    ASSERT_FALSE(ui.events.empty());
    EXPECT_EQ(ui.events.back(), kSuccess);
    ExpectFilesBack();
    EXPECT_EQ(fake.labels, QStringList{"R:\\ K420"});
    EXPECT_TRUE(log.messages().contains("R:\\SETTING\\")) << "the card folder as Windows writes it";
    EXPECT_TRUE(log.messages().contains("MBR 생성 성공"));
    EXPECT_EQ(ui.positions.back(), 100);
}

TEST_F(WindowsFormat, AFailedRebuildStillLabelsAndPutsTheFilesBack)
{
    fake.fileSystem = "exFAT";
    host = fake.Host();
    DebugLogCapture log;
    SDCardFormat(Job());
    EXPECT_NE(g_nFormatDone, 1);
    EXPECT_EQ(ui.events.back(), kFailure);
    EXPECT_TRUE(log.messages().contains("End MakeMBR() Ret( ERR_FAT16_PARTITION )"));
    EXPECT_EQ(fake.labels, QStringList{"R:\\ K420"});
    ExpectFilesBack();
}

// A card with this tool's layout goes to FormatEx, looked up in fmifs.dll by name.
TEST_F(WindowsFormat, TheQuickFormatRunsFormatEx)
{
    // Held here, so that what the stand-in recorded outlives the procedure's FreeLibrary.
    const QString standIn = QStringLiteral(FMIFS_STAND_IN);
    const HMODULE fmifs = LoadLibraryW(reinterpret_cast<const wchar_t *>(standIn.utf16()));
    ASSERT_NE(fmifs, nullptr);
    const auto lastCall = reinterpret_cast<const wchar_t *(*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(fmifs, "StandInLastCall")));
    ASSERT_NE(lastCall, nullptr);
    fake.ownMbr = true;
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        SetUp();
        ui.events.clear();
        ui.positions.clear();
        ui.closed = false;
        if (fails)
            qputenv("Q7_FMIFS_FAIL", "1");
        host = fake.Host();
        host.formatterLibrary = standIn;
        fake.labels.clear();
        DebugLogCapture log;
        SDCardFormat(Job());
        qunsetenv("Q7_FMIFS_FAIL");
        EXPECT_EQ(QString::fromWCharArray(lastCall()), "R:\\|11|FAT32|K420|1|0");
        EXPECT_TRUE(log.messages().contains("MBR 있음\n"));
        EXPECT_TRUE(log.messages().contains("FormatProc()\n"));
        // 10 at the start, 20 more for each structure packet, then the result for a second.
        EXPECT_EQ(ui.positions, (std::vector<int>{10, 30, 50, 70, 90, 100, fails ? 0 : 100}));
        EXPECT_EQ(g_nFormatDone, fails ? 0 : 1);
        EXPECT_EQ(ui.events.back(), fails ? kFailure : kSuccess);
        EXPECT_TRUE(fake.labels.isEmpty()) << "FormatEx labels the card itself";
        ExpectFilesBack();
    }
    FreeLibrary(fmifs);
}

TEST_F(WindowsFormat, WithoutFmifsTheFormatFailsAndThePopupCloses)
{
    fake.ownMbr = true;
    const struct {
        QString library;
        const char *message;
    } cases[] = {
        {"fmifs.dll", kFormatterLoadFailedText},      // Wine has none
        {"kernel32.dll", kFormatterLookupFailedText}, // no FormatEx in it
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.library.toStdString());
        SetUp();
        ui.events.clear();
        ui.workerMessages.clear();
        ui.closed = false;
        host = fake.Host();
        host.formatterLibrary = c.library;
        SDCardFormat(Job());
        EXPECT_EQ(ui.workerMessages,
                  (std::vector<QString>{"Formatting memory card|" + QString(c.message)}));
        EXPECT_EQ(ui.closes, 1);
        EXPECT_EQ(g_nFormatDone, 0);
        EXPECT_EQ(ui.events.back(), kFailure);
        ExpectFilesBack();
        ui.closes = 0;
    }
}

TEST_F(WindowsFormat, ACardThatIsNotBackKeepsItsFilesOffIt)
{
    // The volume does not come back after its dismount.
    int asked = 0;
    host.fileSystemName = [&](const QString &, QString *fs) {
        *fs = "FAT32";
        return ++asked == 1;
    };
    SDCardFormat(Job());
    EXPECT_EQ(g_nFormatDone, 0);
    EXPECT_TRUE(ui.events.back().contains("could not be opened again"))
        << ui.events.back().toStdString();
    EXPECT_FALSE(QFile::exists(folder + "setup.cfg"));
}

// The real calls under Wine.

TEST(WindowsCardSystem, DriveTypesOfThePrefix)
{
    const CardHost real = CardHost::System();
    EXPECT_TRUE(platform::IsRemovableDrive("R:/SETTING/", real));
    EXPECT_FALSE(platform::IsRemovableDrive("C:/users/", real));
    EXPECT_FALSE(platform::IsRemovableDrive("Z:/tmp/", real));
    EXPECT_FALSE(platform::IsRemovableDrive("Q:/", real)) << "no such drive";
    EXPECT_TRUE(VersionTest()) << "Wine answers as Windows 7 or later";
}

TEST(WindowsCardSystem, AFolderDriveIsNoFat32CardAndNothingIsWritten)
{
    // Wine calls the file system of a folder mapped as a drive NTFS, and has no disk extents
    // for it: the rebuild stops at the file-system guard.
    const CardHost real = CardHost::System();
    QString fs;
    ASSERT_TRUE(real.fileSystemName("R:\\", &fs));
    EXPECT_EQ(fs, "NTFS");
    EXPECT_EQ(real.diskNumber(L'R'), -1);
    FormatContext context;
    EXPECT_EQ(MakeMBR(context, "R:/", K420_Format, real), ERR_FAT16_PARTITION);
}

// Drive S: is a loop device with a FAT32 volume when the test run may make one (as root); the
// prefix maps the device as the drive's raw device.
class LoopDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (GetDriveTypeW(L"S:\\") == DRIVE_NO_ROOT_DIR)
            GTEST_SKIP() << "no loop device drive S: (the test run makes one as root)";
    }
};

TEST_F(LoopDrive, TheVolumeIsReadRawButHasNoPhysicalDisk)
{
    const CardHost real = CardHost::System();
    QString fs;
    ASSERT_TRUE(real.fileSystemName("S:\\", &fs));
    EXPECT_EQ(fs, "FAT32") << "Wine reads the file system off the device";
    // Wine does not answer the disk-extent query: no physical disk stands behind the volume,
    // and the rebuild ends with 104 before it writes anything.
    EXPECT_EQ(real.diskNumber(L'S'), -1);
    std::unique_ptr<RawDisk> volume = OpenRawDisk("\\\\.\\S:");
    ASSERT_NE(volume, nullptr);
    Sector before;
    ASSERT_TRUE(volume->ReadSector(0, before));
    EXPECT_EQ(before[510], 0x55);
    EXPECT_EQ(before[511], 0xAA);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(before.data()) + 82, 8), "FAT32   ");
    DebugLogCapture log;
    FormatContext context;
    EXPECT_EQ(MakeMBR(context, "S:/", K420_Format, real), ERR_MBR_READ_ERROR);
    EXPECT_TRUE(log.messages().contains("\\\\.\\PhysicalDrive-1"));
    Sector after;
    ASSERT_TRUE(volume->ReadSector(0, after));
    EXPECT_EQ(after, before);
    // The geometry and size queries are not answered on the volume either.
    DiskGeometry g{};
    EXPECT_FALSE(volume->Geometry(g));
    EXPECT_EQ(volume->SectorCount(), 0u);
}

TEST_F(LoopDrive, RawWritesReachTheDevice)
{
    std::unique_ptr<RawDisk> volume = OpenRawDisk("\\\\.\\S:");
    ASSERT_NE(volume, nullptr);
    // A sector of the reserved area, written, read back and put back as it was.
    const uint32_t lba = 20;
    Sector old, mark, back;
    ASSERT_TRUE(volume->ReadSector(lba, old));
    mark.fill(0xA5);
    ASSERT_TRUE(volume->WriteSector(lba, mark));
    ASSERT_TRUE(volume->Flush());
    ASSERT_TRUE(volume->ReadSector(lba, back));
    EXPECT_EQ(back, mark);
    // The device itself, read past Wine's drive: the loop device's node through drive Z:.
    QFile name(QStringLiteral(WINE_LOOP_FILE));
    ASSERT_TRUE(name.open(QIODevice::ReadOnly));
    QFile device("Z:" + QString::fromUtf8(name.readAll().trimmed()));
    ASSERT_TRUE(device.open(QIODevice::ReadOnly)) << device.fileName().toStdString();
    ASSERT_TRUE(device.seek(qint64(lba) * 512));
    EXPECT_EQ(device.read(512), QByteArray(512, char(0xA5)));
    ASSERT_TRUE(volume->WriteSector(lba, old));
    ASSERT_TRUE(volume->Flush());
}

TEST_F(LoopDrive, TheVolumeLocksAndDismountsButKeepsItsLabel)
{
    std::unique_ptr<RawVolume> volume = OpenVolume(L'S');
    ASSERT_NE(volume, nullptr);
    volume->Lock();
    volume->Flush();
    volume->Dismount();
    volume.reset();
    // Wine refuses SetVolumeLabelW on a FAT device.
    const CardHost real = CardHost::System();
    EXPECT_FALSE(real.setVolumeLabel("S:\\", "K420"));
    QString fs;
    EXPECT_TRUE(real.fileSystemName("S:\\", &fs));
}

} // namespace

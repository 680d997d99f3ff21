#include "formatter/card_format.h"
#include "formatter/fat32_builder.h"
#include "platform/linux/sector_devices.h"
#include "fake_system.h"
#include "peer_tools.h"
#include "test_format_ui.h"
#include "test_files.h"

#include "file/debug_log.h"
#include "locale/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <map>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "formatter_card_format_test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static bool texts = SelectLanguage("english");
    (void)texts;
    return app;
}

bool HasLine(const QStringList &log, const QString &prefix)
{
    for (const QString &l : log)
        if (l.startsWith(prefix))
            return true;
    return false;
}

// Loop devices over a card image; detached again at the end.
class Loops
{
public:
    ~Loops()
    {
        for (const QString &d : devices)
            RunTool("losetup", {"-d", d});
    }
    QString Attach(const QString &image, uint64_t offsetSectors = 0, uint64_t sizeSectors = 0)
    {
        QStringList args = {"-f", "--show"};
        if (offsetSectors)
            args << "-o" << QString::number(offsetSectors * 512);
        if (sizeSectors)
            args << "--sizelimit" << QString::number(sizeSectors * 512);
        QString out;
        if (RunTool("losetup", args << image, &out) != 0)
            return {};
        devices << out.trimmed();
        return out.trimmed();
    }
    QStringList devices;
};

// A removable card sdz whose partition sdz1 is "mounted" on a real folder, with the camera's
// files on it and the program in a folder of its own.
class CardFormatTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        root = sys.root + "/card";
        folder = root + "/K420/";
        QDir().mkpath(folder);
        QDir().mkpath(sys.root + "/prog");
        program = sys.root + "/prog/K420_Setting";
        WriteFile(program, "the settings tool");
        WriteFile(folder + "setup.cfg", "settings record");
        WriteFile(root + "/MLO", "first stage");
        WriteFile(root + "/boot.scr", "boot script");
        g_nFormatDone = 7;
    }
    void AddCard(bool removable = true)
    {
        sys.AddDisk("sdz", removable);
        sys.AddPartition("sdz", "sdz1", 65, 145);
        sys.AddMount(65, 145, root, "vfat", "/dev/sdz1");
    }
    // A volume file of the given mkfs.fat kind as sdz1 and an image file as sdz.
    void AddFileVolume(const QString &fatSize)
    {
        const QString vol = sys.root + "/vol.img";
        MakeSparseImage(vol, 64 * 2048);
        RunTool("mkfs.fat", {"-F", fatSize, vol});
        MakeSparseImage(sys.root + "/disk.img", 600000);
        sys.AddNode("sdz1", vol);
        sys.AddNode("sdz", sys.root + "/disk.img");
    }
    FormatJob Job(const FormatProfile &p = K420_Format)
    {
        FormatJob job;
        job.cardFolder = folder;
        job.programFile = program;
        job.profile = &p;
        job.host = sys.host;
        job.ui = &ui;
        return job;
    }
    // The format wipes the card while the popup is up.
    void WipeCardWhilePopupUp()
    {
        ui.whilePopupUp = [this] {
            QFile::remove(folder + "setup.cfg");
            QFile::remove(root + "/MLO");
            QFile::remove(root + "/boot.scr");
            QDir(folder).removeRecursively();
        };
    }
    void ExpectFilesBack()
    {
        EXPECT_EQ(ReadAll(folder + "setup.cfg"), "settings record");
        EXPECT_EQ(ReadAll(folder + "K420_Setting"), "the settings tool");
        EXPECT_EQ(ReadAll(root + "/MLO"), "first stage");
        EXPECT_EQ(ReadAll(root + "/boot.scr"), "boot script");
    }

    FakeSystem sys;
    TestFormatUi ui;
    QString root, folder, program;
};

const QString kFailure = "message Formatting memory card|Cannot format the memory card.\r\n"
                         "It is currently being used by Orbilux or another program.\r\n";
const QString kSuccess = "message Formatting memory card|Memory card formatted completely";
const QString kPopup =
    "popup Formatting memory card|Formatting memory card.\r\nPlease wait.\r\n|400x150";

TEST_F(CardFormatTest, ConfirmationTextsOfBothBuilds)
{
    ui.answer = false;
    EXPECT_FALSE(ConfirmCardFormat(ui, K420_Format));
    ui.answer = true;
    EXPECT_TRUE(ConfirmCardFormat(ui, KZ7100_Format));
    ASSERT_EQ(ui.events.size(), 2u);
    EXPECT_EQ(ui.events[0], "ask Formatting memory card|Caution: All data will be deleted, if you "
                            "format the memory card.\r\n"
                            "Select (Yes) to format or select (No) to cancel.\r\n");
    EXPECT_EQ(ui.events[1],
              "ask Memory card format|Caution : all data will be deleted, If format memory\r\n"
              "Sellect (Yes) for format, Select (No) for cancel\r\n");
}

TEST_F(CardFormatTest, NothingHappensOffARemovableCard)
{
    for (int round = 0; round < 3; ++round) {
        AddCard(round != 0);
        FormatJob job = Job();
        if (round == 1)
            job.cardFolder.clear();
        if (round == 2)
            job.cardFolder = "/elsewhere/"; // on no mounted file system
        DebugLogCapture log;
        SDCardFormat(job);
        EXPECT_TRUE(ui.events.empty());
        EXPECT_EQ(log.messages(), QStringList{"Start SDCardFormat() ---"});
        EXPECT_FALSE(QFile::exists(sys.root + "/prog/setup.cfg"));
        EXPECT_EQ(g_nFormatDone, 7);
        sys.Write("mountinfo", "");
    }
}

TEST_F(CardFormatTest, AFat16CardFailsAndTheFilesComeBack)
{
    AddCard();
    AddFileVolume("16");
    WipeCardWhilePopupUp();
    DebugLogCapture log;
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[0], kPopup);
    EXPECT_EQ(ui.events[1], "popup closed");
    EXPECT_EQ(ui.events[2], "popup destroyed");
    EXPECT_EQ(ui.events[3], kFailure);
    EXPECT_EQ(g_nFormatDone, 0);
    EXPECT_EQ(ui.positions, (std::vector<int>{10, 0}));
    EXPECT_EQ(ui.posted, (std::vector<int>{10}));
    EXPECT_EQ(ui.closes, 1);
    ExpectFilesBack();
    EXPECT_EQ(ReadAll(sys.root + "/prog/setup.cfg"), "settings record");
    EXPECT_EQ(ReadAll(sys.root + "/prog/MLO"), "first stage");

    const QStringList m = log.messages();
    ASSERT_EQ(m.size(), 13) << m.join('|').toStdString();
    EXPECT_EQ(m[0], "Start SDCardFormat() ---");
    EXPECT_EQ(m[1], folder);
    EXPECT_EQ(m[2],
              "COPY file from [ " + folder + "setup.cfg ] to [ " + sys.root + "/prog/setup.cfg ]");
    EXPECT_EQ(m[3], "COPY file from [ " + root + "/MLO ] to [ " + sys.root + "/prog/MLO ]");
    EXPECT_EQ(m[4],
              "COPY file from [ " + root + "/boot.scr ] to [ " + sys.root + "/prog/boot.scr ]");
    EXPECT_TRUE(QRegularExpression("^start - \\d\\d:\\d\\d:\\d\\d\n$").match(m[5]).hasMatch())
        << m[5].toStdString();
    EXPECT_EQ(m[6], root + "/");
    EXPECT_EQ(m[7], "Start MakeMBR() ---");
    EXPECT_EQ(m[8], "End MakeMBR() Ret( ERR_FAT16_PARTITION )");
    EXPECT_EQ(m[9], "MBR 생성 실패 (103)");
    EXPECT_TRUE(m[10].startsWith("end - ")) << m[10].toStdString();
    // The label's program, as it was run; it prints nothing and succeeds.
    EXPECT_EQ(m[11], "run: fatlabel " + sys.root + "/dev/sdz1 K420");
    EXPECT_EQ(m.last(), "--- End SDCardFormat()");
    // The label is set whatever the result.
    QString out;
    RunTool("fatlabel", {sys.root + "/vol.img"}, &out);
    EXPECT_EQ(out.trimmed(), "K420");
}

TEST_F(CardFormatTest, KZ7100ShowsTheFailureAndLogsLess)
{
    AddCard();
    AddFileVolume("16");
    DebugLogCapture log;
    SDCardFormat(Job(KZ7100_Format));
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[0], "popup Memory card format|Memory card is formatting. \r\nPlease wait a "
                            "minutes\r\n|400x150");
    EXPECT_EQ(ui.events[3],
              "message Memory card format|Cannot Format Memory Card\r\n"
              "Memory Card is already being used by Orbilux or another program .\r\n");
    EXPECT_EQ(ui.workerMessages, (std::vector<QString>{"Memory card format|MBR 생성 실패 (103)"}));
    EXPECT_EQ(ui.positions, (std::vector<int>{0}));
    EXPECT_TRUE(ui.posted.empty());
    const QStringList m = log.messages();
    EXPECT_FALSE(HasLine(m, "Start SDCardFormat"));
    EXPECT_FALSE(HasLine(m, "--- End SDCardFormat"));
    EXPECT_FALSE(HasLine(m, "COPY file"));
    EXPECT_FALSE(HasLine(m, "start - "));
    EXPECT_FALSE(HasLine(m, "end - "));
    EXPECT_FALSE(HasLine(m, "Start MakeMBR"));
    EXPECT_TRUE(m.contains("End MakeMBR() Ret( ERR_FAT16_PARTITION )"));
    QString out;
    RunTool("fatlabel", {sys.root + "/vol.img"}, &out);
    EXPECT_EQ(out.trimmed(), "KZ7100");
}

TEST_F(CardFormatTest, TheWorkerEndingBeforeThePopupIsUpStillClosesIt)
{
    AddCard();
    AddFileVolume("16");
    WipeCardWhilePopupUp();
    ui.showDelayMs = 1800;
    SDCardFormat(Job());
    EXPECT_EQ(ui.closes, 1);
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kFailure);
    ExpectFilesBack();
}

// The same card on loop devices: the kernel's block-device path.
class LoopFormatTest : public CardFormatTest
{
protected:
    void SetUp() override
    {
        CardFormatTest::SetUp();
        if (::geteuid() != 0)
            GTEST_SKIP() << "loop devices need root; the block-device path is not tested";
        image = sys.root + "/card.img";
        ASSERT_TRUE(MakeSparseImage(image, kSectors));
        ASSERT_TRUE(ComputeLayout(kSectors, layout));
        AddCard();
    }
    // A card formatted elsewhere: one FAT32 partition at 2048.
    void FormattedElsewhere()
    {
        ASSERT_EQ(RunTool("sfdisk", {"-q", image}, nullptr, "2048,,c\n"), 0);
        disk = loops.Attach(image);
        if (disk.isEmpty())
            GTEST_SKIP() << "losetup refused";
        const QString part = loops.Attach(image, 2048);
        ASSERT_EQ(RunTool("mkfs.fat", {"-F", "32", part}), 0);
        sys.AddNode("sdz", disk);
        sys.AddNode("sdz1", part);
        // Mounting again after the rebuild finds the new partition, as the kernel's re-read would.
        sys.host.mount = [this](const QString &dev, const QString &mp) {
            sys.calls.push_back("mount " + dev + " " + mp);
            if (!repointed) {
                repointed = true;
                QFile::remove(sys.root + "/dev/sdz1");
                sys.AddNode("sdz1", loops.Attach(image, 8192, layout.volumeSectors));
            }
            return true;
        };
    }
    // A card this tool formatted before.
    void OwnCard()
    {
        ASSERT_EQ(WriteOwnLayout(image), RETURN_FORMAT_SUCCESS);
        disk = loops.Attach(image);
        if (disk.isEmpty())
            GTEST_SKIP() << "losetup refused";
        sys.AddNode("sdz", disk);
        sys.AddNode("sdz1", loops.Attach(image, 8192, layout.volumeSectors));
    }
    QString Label()
    {
        QString out;
        RunTool("blkid", {"-p", "-o", "export", "-O", "4194304", image}, &out);
        for (const QString &l : out.split('\n'))
            if (l.startsWith("LABEL="))
                return l.mid(6);
        return {};
    }

    static constexpr uint64_t kSectors = 600000;
    Loops loops;
    QString image, disk;
    FormatLayout layout{};
    bool repointed = false;
};

TEST_F(LoopFormatTest, RebuildsACardFormattedElsewhere)
{
    FormattedElsewhere();
    WipeCardWhilePopupUp();
    DebugLogCapture log;
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kSuccess) << log.messages().join('|').toStdString();
    EXPECT_EQ(g_nFormatDone, 1);
    EXPECT_EQ(ui.positions, (std::vector<int>{10, 100}));
    // 10 from the worker, then one value per sector of the plan and the final 100.
    ASSERT_EQ(ui.posted.size(), 1 + PlanSectorCount(layout) + 1);
    EXPECT_EQ(ui.posted[1], 10);
    EXPECT_EQ(ui.posted.back(), 100);
    EXPECT_TRUE(log.messages().contains("MBR 생성 성공"));
    EXPECT_TRUE(log.messages().contains(""));
    ExpectFilesBack();

    QString out;
    RunTool("sfdisk", {"-d", image}, &out);
    EXPECT_TRUE(out.contains(
        QStringLiteral("start=        8192, size=%1, type=c").arg(layout.volumeSectors, 12)));
    EXPECT_EQ(Label(), "K420");
    // With the label set only the unknown free count is left.
    const QStringList findings = FsckFindings(image, layout.volumeSectors, sys.root);
    ASSERT_EQ(findings.size(), 1) << findings.join('\n').toStdString();
    EXPECT_TRUE(findings[0].startsWith(kFreeCountFinding));
}

TEST_F(LoopFormatTest, QuickFormatsACardOfItsOwn)
{
    OwnCard();
    WipeCardWhilePopupUp();
    DebugLogCapture log;
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kSuccess) << log.messages().join('|').toStdString();
    EXPECT_EQ(ui.positions, (std::vector<int>{10, 30, 50, 70, 90, 100}));
    EXPECT_TRUE(log.messages().contains("End MakeMBR() Ret( RETURN_HASMBR )"));
    EXPECT_TRUE(log.messages().contains("MBR 있음\n"));
    EXPECT_TRUE(log.messages().contains("FormatProc()\n"));
    ExpectFilesBack();
    EXPECT_EQ(Label(), "K420");
    const QStringList findings = FsckFindings(image, layout.volumeSectors, sys.root);
    EXPECT_TRUE(findings.isEmpty()) << findings.join('\n').toStdString();
    // The MBR is still this tool's.
    QFile f(image);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    Sector s;
    f.read(reinterpret_cast<char *>(s.data()), 512);
    EXPECT_TRUE(IsOwnMBR(s));
}

TEST_F(LoopFormatTest, KZ7100QuickFormatCountsFromZero)
{
    OwnCard();
    SDCardFormat(Job(KZ7100_Format));
    EXPECT_EQ(ui.positions, (std::vector<int>{20, 40, 60, 80, 100}));
    EXPECT_EQ(Label(), "KZ7100");
}

TEST_F(LoopFormatTest, AMissingSystemFormatterStillClosesThePopup)
{
    OwnCard();
    WipeCardWhilePopupUp();
    FormatJob job = Job();
    job.host.mkfsFat = sys.root + "/no/mkfs.fat";
    SDCardFormat(job);
    EXPECT_EQ(ui.workerMessages,
              (std::vector<QString>{QString("Formatting memory card|") + kFormatterMissingText}));
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kFailure);
    EXPECT_EQ(ui.closes, 1);
    EXPECT_EQ(ui.positions, (std::vector<int>{10, 0}));
    ExpectFilesBack();
}

// The backup cannot be made: the format does not start and the user is told why.
TEST_F(CardFormatTest, NoFormatWithoutABackup)
{
    AddCard();
    AddFileVolume("32");
    const QByteArray volume = ReadAll(sys.root + "/vol.img");
    const QByteArray disk = ReadAll(sys.root + "/disk.img");
    struct Case {
        const char *what;
        std::function<void(FormatJob &)> arrange;
        QString why;
    };
    const Case cases[] = {
        {"a backup that cannot be written",
         [&](FormatJob &) { QDir().mkpath(sys.root + "/prog/setup.cfg"); },
         folder + "setup.cfg could not be copied to " + sys.root + "/prog/"},
        {"no folder off the card for a program on it",
         [&](FormatJob &job) {
             WriteFile(folder + "K420_Setting", "the settings tool");
             job.programFile = folder + "K420_Setting";
             WriteFile(sys.root + "/blocked", "a file, not a folder");
             job.freshBackupRoots = {sys.root + "/blocked/pc", root + "/on-the-card"};
         },
         "no folder off the card could be made in " + sys.root + "/blocked/pc, " + root +
             "/on-the-card"},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.what);
        FormatJob job = Job();
        tc.arrange(job);
        ui.events.clear();
        g_nFormatDone = 7;
        SDCardFormat(job);
        ASSERT_EQ(ui.events.size(), 1u);
        EXPECT_EQ(ui.events[0],
                  "message Formatting memory card|" + QString(kBackupFailedText).arg(tc.why));
        EXPECT_EQ(g_nFormatDone, 7) << "no format started";
        EXPECT_EQ(ReadAll(sys.root + "/vol.img"), volume);
        EXPECT_EQ(ReadAll(sys.root + "/disk.img"), disk);
        EXPECT_EQ(ReadAll(folder + "setup.cfg"), "settings record");
        EXPECT_EQ(ReadAll(root + "/MLO"), "first stage");
        EXPECT_EQ(ReadAll(root + "/boot.scr"), "boot script");
        EXPECT_FALSE(QFileInfo::exists(root + "/on-the-card"));
    }
}

// The card's file system as a camera leaves it.
enum class CardKind { FormattedElsewhere, OwnLayout, Fat16 };

// A card on loop devices, made to look like a USB card through the fake sysfs tree, whose file
// system is mounted at its mount point folder by MtoolsMount: the files live on the FAT volume.
// The program runs from the card, as it does when the relocation is skipped or fails.
class CardOnLoopDevices : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        if (::geteuid() != 0)
            GTEST_SKIP() << "loop devices need root; the block-device path is not tested";
        mountPoint = kMountPoint;
        folder = mountPoint + "/K420/";
        program = folder + "K420_Setting";
        pc = sys.root + "/home/.local/share/Orbilux";
        image = sys.root + "/card.img";
        ASSERT_TRUE(MakeSparseImage(image, kSectors));
        ASSERT_TRUE(ComputeLayout(kSectors, layout));
        sys.AddDisk("sdz", true);
        sys.AddPartition("sdz", "sdz1", 65, 145);
        sys.AddMount(65, 145, mountPoint, "vfat", "/dev/sdz1");
        sys.host.unmount = [this](const QString &mp) {
            sys.calls.push_back("umount " + mp);
            return card.Unmount();
        };
        sys.host.mount = [this](const QString &dev, const QString &mp) {
            sys.calls.push_back("mount " + dev + " " + mp);
            ReadPartitionTable();
            return !mountFails && card.Mount(dev);
        };
        g_nFormatDone = 7;
    }

    // The card with its files: setup.cfg and the program in the card folder, MLO and boot.scr in
    // the root; each file's bytes differ from the others'.
    void MakeCard(CardKind kind)
    {
        if (kind == CardKind::OwnLayout) {
            ASSERT_EQ(WriteOwnLayout(image), RETURN_FORMAT_SUCCESS);
        } else {
            ASSERT_EQ(RunTool("sfdisk", {"-q", image}, nullptr,
                              kind == CardKind::Fat16 ? "2048,,6\n" : "2048,,c\n"),
                      0);
        }
        const QString disk = loops.Attach(image);
        if (disk.isEmpty())
            GTEST_SKIP() << "losetup refused";
        sys.AddNode("sdz", disk);
        ReadPartitionTable();
        if (kind != CardKind::OwnLayout) {
            ASSERT_EQ(RunTool("mkfs.fat", {"-F", kind == CardKind::Fat16 ? "16" : "32", Volume()}),
                      0);
        }
        ASSERT_TRUE(card.Mount(Volume()));
        QDir().mkpath(folder);
        for (const auto &[path, bytes] : Files())
            WriteFile(path, bytes);
        // Onto the card itself, and back into view.
        ASSERT_TRUE(card.Unmount());
        ASSERT_TRUE(card.Mount(Volume()));
        ASSERT_EQ(ReadAll(program), Files().at(program));
    }
    std::map<QString, QByteArray> Files() const
    {
        QByteArray record(432, '\0');
        for (int i = 0; i < record.size(); ++i)
            record[i] = char(i * 7);
        return {{folder + "setup.cfg", record},
                {program, QByteArray("\x7f"
                                     "ELF the settings tool\n",
                                     23)},
                {mountPoint + "/MLO", "first stage loader"},
                {mountPoint + "/boot.scr", "boot script"}};
    }
    // The kernel's re-read of the partition table: the partition's loop device follows the
    // first entry of the MBR.
    void ReadPartitionTable()
    {
        QFile f(image);
        if (!f.open(QIODevice::ReadOnly))
            return;
        const QByteArray mbr = f.read(512);
        auto le32 = [&](int at) {
            uint32_t v = 0;
            for (int i = 3; i >= 0; --i)
                v = (v << 8) | uint8_t(mbr[at + i]);
            return v;
        };
        if (mbr.size() != 512 || uint8_t(mbr[510]) != 0x55 || uint8_t(mbr[511]) != 0xAA ||
            mbr[450] == 0)
            return;
        const std::pair<uint32_t, uint32_t> part{le32(454), le32(458)};
        if (part == partition)
            return;
        partition = part;
        QFile::remove(sys.root + "/dev/sdz1");
        sys.AddNode("sdz1", loops.Attach(image, part.first, part.second));
    }
    QString Volume() const { return sys.root + "/dev/sdz1"; }
    FormatJob Job()
    {
        FormatJob job;
        job.cardFolder = folder;
        job.programFile = program;
        job.freshBackupRoots = {pc};
        job.host = sys.host;
        job.ui = &ui;
        return job;
    }
    // Every file of the card, byte for byte, on its FAT volume.
    void ExpectFilesOnTheCard()
    {
        for (const auto &[path, bytes] : Files())
            EXPECT_EQ(ReadAll(path), bytes) << path.toStdString();
        ASSERT_TRUE(card.Unmount());
        for (const auto &[path, bytes] : Files())
            EXPECT_EQ(card.ReadOnVolume(Volume(), path.mid(mountPoint.size() + 1)), bytes)
                << path.toStdString();
        ASSERT_TRUE(card.Mount(Volume()));
    }
    QStringList BackupFolders() const { return QDir(pc).entryList({"card-backup-*"}, QDir::Dirs); }

    static constexpr uint64_t kSectors = 600000;
    FakeSystem sys;
    Loops loops;
    // Blanks and shell characters, as a card's label may give its mount point.
    const QString kMountPoint = sys.root + "/media/my CARD $(true) 'a'";
    MtoolsMount card{kMountPoint};
    TestFormatUi ui;
    QString mountPoint, folder, program, pc, image;
    FormatLayout layout{};
    std::pair<uint32_t, uint32_t> partition{0, 0};
    bool mountFails = false;
};

class EachCardKind : public CardOnLoopDevices, public ::testing::WithParamInterface<CardKind>
{};

TEST_P(EachCardKind, TheFilesAreBackOnTheCardWhateverTheFormatDid)
{
    MakeCard(GetParam());
    DebugLogCapture log;
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u) << log.messages().join('|').toStdString();
    if (GetParam() == CardKind::Fat16) {
        // Refused: nothing but the label written, and the files still come back.
        EXPECT_EQ(ui.events[3], kFailure);
        EXPECT_EQ(VolumeFileSystem(Volume()), "FAT");
    } else {
        EXPECT_EQ(ui.events[3], kSuccess) << log.messages().join('|').toStdString();
        EXPECT_EQ(g_nFormatDone, 1);
        EXPECT_EQ(partition.first, kPartitionStart);
    }
    // The program was copied off the card with the others, into a folder of the PC's own.
    QStringList copies;
    for (const QString &m : log.messages())
        if (m.startsWith("COPY file from [ "))
            copies << m;
    ASSERT_EQ(copies.size(), 4) << copies.join('\n').toStdString();
    EXPECT_TRUE(
        copies[3].startsWith("COPY file from [ " + program + " ] to [ " + pc + "/card-backup-"))
        << copies[3].toStdString();
    ExpectFilesOnTheCard();
    EXPECT_TRUE(BackupFolders().isEmpty()) << "the fresh backup folder is removed once all is back";
    EXPECT_TRUE(card.mounted);
}

std::string CardKindName(const ::testing::TestParamInfo<CardKind> &info)
{
    const char *const names[] = {"FormattedElsewhere", "OwnLayout", "Fat16"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Cards, EachCardKind,
                         ::testing::Values(CardKind::FormattedElsewhere, CardKind::OwnLayout,
                                           CardKind::Fat16),
                         CardKindName);

// After the rebuild the card does not mount again: the format has failed, nothing is copied into
// the empty mount point folder, and the files wait where the message says.
TEST_F(CardOnLoopDevices, ACardThatDoesNotMountAgainKeepsItsFilesInTheBackup)
{
    MakeCard(CardKind::FormattedElsewhere);
    mountFails = true;
    DebugLogCapture log;
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u);
    const QStringList folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1);
    const QString backup = pc + "/" + folders[0] + "/";
    EXPECT_EQ(ui.events[3], kFailure + QString(kRemountFailedText).arg(backup));
    EXPECT_EQ(g_nFormatDone, 0);
    EXPECT_TRUE(log.messages().contains("MBR 생성 성공")) << "the rebuild itself went through";
    EXPECT_TRUE(QDir(mountPoint).isEmpty()) << QDir(mountPoint).entryList().join(' ').toStdString();
    for (const auto &[path, bytes] : Files())
        EXPECT_EQ(ReadAll(backup + QFileInfo(path).fileName()), bytes) << path.toStdString();
}

TEST_F(CardOnLoopDevices, WithTheProgramOffTheCardItsFolderKeepsTheFiles)
{
    MakeCard(CardKind::FormattedElsewhere);
    const QString programFolder = sys.root + "/prog/";
    QDir().mkpath(programFolder);
    WriteFile(programFolder + "K420_Setting", Files().at(program));
    mountFails = true;
    FormatJob job = Job();
    job.programFile = programFolder + "K420_Setting";
    SDCardFormat(job);
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kFailure + QString(kRemountFailedText).arg(programFolder));
    EXPECT_TRUE(BackupFolders().isEmpty());
    EXPECT_TRUE(QDir(mountPoint).isEmpty());
    for (const QString name : {"setup.cfg", "MLO", "boot.scr"}) {
        const QString onCard = name == "setup.cfg" ? folder + name : mountPoint + "/" + name;
        EXPECT_EQ(ReadAll(programFolder + name), Files().at(onCard)) << name.toStdString();
    }
}

// The format went through but the card folder cannot be made on the new card: what could not
// go back waits in the fresh folder, and the message says where.
TEST_F(CardOnLoopDevices, FilesThatCannotGoBackStayInTheFreshFolder)
{
    MakeCard(CardKind::FormattedElsewhere);
    sys.host.mount = [this](const QString &dev, const QString &) {
        ReadPartitionTable();
        if (!card.Mount(dev))
            return false;
        WriteFile(mountPoint + "/K420", "a file where the card folder goes");
        return true;
    };
    SDCardFormat(Job());
    ASSERT_EQ(ui.events.size(), 4u);
    const QStringList folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1);
    const QString backup = pc + "/" + folders[0] + "/";
    EXPECT_EQ(ui.events[3], kSuccess + "\r\n" + QString(kBackupKeptText).arg(backup));
    for (const auto &[path, bytes] : Files())
        EXPECT_EQ(ReadAll(backup + QFileInfo(path).fileName()), bytes) << path.toStdString();
    EXPECT_EQ(ReadAll(mountPoint + "/MLO"), Files().at(mountPoint + "/MLO"))
        << "what could go back is back";
}

// A program working in the card folder keeps the card busy: the message names it, whichever
// way the format would have gone, and the card keeps its files.
TEST_P(EachCardKind, ABusyCardNamesTheProgramsThatHoldIt)
{
    MakeCard(GetParam());
    QProcess holder;
    holder.setWorkingDirectory(folder);
    holder.start("sleep", {"120"});
    ASSERT_TRUE(holder.waitForStarted());
    const QString name = QStringLiteral("sleep (%1)").arg(holder.processId());
    SDCardFormat(Job());
    holder.kill();
    holder.waitForFinished();
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kFailure + QString(kCardBusyText).arg(name));
    EXPECT_TRUE(ui.workerMessages.empty()) << ui.workerMessages[0].toStdString();
    EXPECT_EQ(g_nFormatDone, 0);
    ExpectFilesOnTheCard();
}

} // namespace

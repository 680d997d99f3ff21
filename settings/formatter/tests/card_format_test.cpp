#include "formatter/card_format.h"
#include "formatter/fat32_builder.h"
#include "formatter/sector_devices.h"
#include "fake_system.h"
#include "peer_tools.h"
#include "test_format_ui.h"

#include "file/debug_log.h"
#include "locale/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

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

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

bool HasLine(const QStringList &log, const QString &prefix)
{
    for (const QString &l : log)
        if (l.startsWith(prefix)) return true;
    return false;
}

// Loop devices over a card image; detached again at the end.
class Loops {
public:
    ~Loops()
    {
        for (const QString &d : devices) RunTool("losetup", {"-d", d});
    }
    QString Attach(const QString &image, uint64_t offsetSectors = 0, uint64_t sizeSectors = 0)
    {
        QStringList args = {"-f", "--show"};
        if (offsetSectors) args << "-o" << QString::number(offsetSectors * 512);
        if (sizeSectors) args << "--sizelimit" << QString::number(sizeSectors * 512);
        QString out;
        if (RunTool("losetup", args << image, &out) != 0) return {};
        devices << out.trimmed();
        return out.trimmed();
    }
    QStringList devices;
};

// A removable card sdz whose partition sdz1 is "mounted" on a real folder, with the camera's
// files on it and the program in a folder of its own.
class CardFormatTest : public ::testing::Test {
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
const QString kPopup = "popup Formatting memory card|Formatting memory card.\r\nPlease wait.\r\n|400x150";

TEST_F(CardFormatTest, ConfirmationTextsOfBothBuilds)
{
    ui.answer = false;
    EXPECT_FALSE(ConfirmCardFormat(ui, K420_Format));
    ui.answer = true;
    EXPECT_TRUE(ConfirmCardFormat(ui, KZ7100_Format));
    ASSERT_EQ(ui.events.size(), 2u);
    EXPECT_EQ(ui.events[0], "ask Formatting memory card|Caution: All data will be deleted, if you format the memory card.\r\n"
                            "Select (Yes) to format or select (No) to cancel.\r\n");
    EXPECT_EQ(ui.events[1], "ask Memory card format|Caution : all data will be deleted, If format memory\r\n"
                            "Sellect (Yes) for format, Select (No) for cancel\r\n");
}

TEST_F(CardFormatTest, NothingHappensOffARemovableCard)
{
    for (int round = 0; round < 3; ++round) {
        AddCard(round != 0);
        FormatJob job = Job();
        if (round == 1) job.cardFolder.clear();
        if (round == 2) job.cardFolder = "/elsewhere/";  // on no mounted file system
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
    ASSERT_EQ(m.size(), 12) << m.join('|').toStdString();
    EXPECT_EQ(m[0], "Start SDCardFormat() ---");
    EXPECT_EQ(m[1], folder);
    EXPECT_EQ(m[2], "COPY file from [ " + folder + "setup.cfg ] to [ " + sys.root + "/prog/setup.cfg ]");
    EXPECT_EQ(m[3], "COPY file from [ " + root + "/MLO ] to [ " + sys.root + "/prog/MLO ]");
    EXPECT_EQ(m[4], "COPY file from [ " + root + "/boot.scr ] to [ " + sys.root + "/prog/boot.scr ]");
    EXPECT_TRUE(QRegularExpression("^start - \\d\\d:\\d\\d:\\d\\d\n$").match(m[5]).hasMatch()) << m[5].toStdString();
    EXPECT_EQ(m[6], root + "/");
    EXPECT_EQ(m[7], "Start MakeMBR() ---");
    EXPECT_EQ(m[8], "End MakeMBR() Ret( ERR_FAT16_PARTITION )");
    EXPECT_EQ(m[9], "MBR 생성 실패 (103)");
    EXPECT_TRUE(m[10].startsWith("end - ")) << m[10].toStdString();
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
    EXPECT_EQ(ui.events[0], "popup Memory card format|Memory card is formatting. \r\nPlease wait a minutes\r\n|400x150");
    EXPECT_EQ(ui.events[3], "message Memory card format|Cannot Format Memory Card\r\n"
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
class LoopFormatTest : public CardFormatTest {
protected:
    void SetUp() override
    {
        CardFormatTest::SetUp();
        if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root; the block-device path is not tested";
        image = sys.root + "/card.img";
        ASSERT_TRUE(MakeSparseImage(image, kSectors));
        ASSERT_TRUE(ComputeLayout(kSectors, layout));
        AddCard();
    }
    // A card formatted elsewhere: one FAT32 partition at 2048.
    void FormattedElsewhere()
    {
        QProcess p;
        p.start("sfdisk", {"-q", image});
        p.waitForStarted();
        p.write("2048,,c\n");
        p.closeWriteChannel();
        p.waitForFinished();
        ASSERT_EQ(p.exitCode(), 0);
        disk = loops.Attach(image);
        if (disk.isEmpty()) GTEST_SKIP() << "losetup refused";
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
        {
            std::unique_ptr<FileSectorDevice> dev(FileSectorDevice::OpenImage(image, {255, 63}));
            FormatContext c;
            c.device = dev.get();
            FormatLayout l{};
            ASSERT_TRUE(MakePartitionTable(c, l));
            ASSERT_EQ(WriteFAT32Area(c, MakeBPB32Structure(l)), RETURN_FORMAT_SUCCESS);
        }
        disk = loops.Attach(image);
        if (disk.isEmpty()) GTEST_SKIP() << "losetup refused";
        sys.AddNode("sdz", disk);
        sys.AddNode("sdz1", loops.Attach(image, 8192, layout.volumeSectors));
    }
    QString Label()
    {
        QString out;
        RunTool("blkid", {"-p", "-o", "export", "-O", "4194304", image}, &out);
        for (const QString &l : out.split('\n'))
            if (l.startsWith("LABEL=")) return l.mid(6);
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
    EXPECT_TRUE(out.contains(QStringLiteral("start=        8192, size=%1, type=c").arg(layout.volumeSectors, 12)));
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
    EXPECT_EQ(ui.workerMessages, (std::vector<QString>{QString("Formatting memory card|") + kFormatterMissingText}));
    ASSERT_EQ(ui.events.size(), 4u);
    EXPECT_EQ(ui.events[3], kFailure);
    EXPECT_EQ(ui.closes, 1);
    EXPECT_EQ(ui.positions, (std::vector<int>{10, 0}));
    ExpectFilesBack();
}

} // namespace

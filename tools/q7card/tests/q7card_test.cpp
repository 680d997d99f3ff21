#include "peer_tools.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString Q7card()
{
    return qEnvironmentVariable("Q7CARD");
}

int RunQ7card(const QStringList &args, QString *out, const QByteArray &input = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(Q7card(), args);
    if (!p.waitForStarted())
        return -1;
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    *out = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray Hash(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

TEST(Q7cardTest, LayoutPrintsTheWorkedExamples)
{
    QString out;
    ASSERT_EQ(RunQ7card({"layout", "15523840"}, &out), 0) << out.toStdString();
    for (const char *line :
         {"fatSectors 15152\n", "clusterCount 1939454\n", "volumeSectors 15515632\n",
          "FAT 1 at 8224\n", "FAT 2 at 23376\n", "root directory at 38528\n",
          "partition entry (255/63) 00 82 03 00 0C 4F F9 C6 00 20 00 00 F0 BF EC 00\n"})
        EXPECT_TRUE(out.contains(line)) << line << "\n" << out.toStdString();
    ASSERT_EQ(RunQ7card({"layout", "62333952"}, &out), 0);
    EXPECT_TRUE(out.contains("fatSectors 60865\n"));
    EXPECT_TRUE(out.contains("volumeSectors 62325744\n"));
    EXPECT_EQ(RunQ7card({"layout", "9200"}, &out), 1);
    EXPECT_TRUE(out.contains("no FAT32 layout"));
    EXPECT_EQ(RunQ7card({"layout", "many"}, &out), 2);
}

TEST(Q7cardTest, ImageIsACardThePeersAccept)
{
    QTemporaryDir dir;
    const QString image = dir.filePath("card.img");
    QFile old(image);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'z')); // overwritten, not kept
    old.close();
    QString out;
    ASSERT_EQ(RunQ7card({"image", image, "15523840"}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("progress 10%\n"));
    EXPECT_TRUE(out.contains("progress 100%\n")) << out.right(200).toStdString();
    EXPECT_TRUE(out.contains("Start MakeMBR() ---\n"));
    EXPECT_TRUE(out.contains("MBR 생성 성공\n"));
    EXPECT_EQ(QFileInfo(image).size(), 15523840ll * 512);
    QString sf;
    ASSERT_EQ(RunTool("sfdisk", {"-d", image}, &sf), 0);
    EXPECT_TRUE(sf.contains("start=        8192, size=    15515632, type=c")) << sf.toStdString();
    const QStringList findings = FsckFindings(image, 15515632, dir.path());
    ASSERT_EQ(findings.size(), 2) << findings.join('\n').toStdString();
    EXPECT_EQ(findings[0], kLabelFinding);
    const QString at = image + "@@4194304";
    const QString local = dir.filePath("f.txt");
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello card\n");
    f.close();
    ASSERT_EQ(RunTool("mcopy", {"-i", at, local, "::/F.TXT"}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunTool("mtype", {"-i", at, "::/F.TXT"}, &out), 0);
    EXPECT_EQ(out, "hello card\n");

    // A card too small for FAT32 fails with the log's failure line.
    ASSERT_EQ(RunQ7card({"image", image, "20000"}, &out), 1);
    EXPECT_TRUE(out.contains("MBR 생성 실패 (106)")) << out.toStdString();
}

TEST(Q7cardTest, FormatRefusesWhatIsNoRemovableCard)
{
    QTemporaryDir dir;
    QString out;
    // The test's own folder lies on the machine's system disk.
    EXPECT_EQ(RunQ7card({"format", "--yes", dir.path()}, &out), 1);
    EXPECT_TRUE(out.contains("not on a removable card; nothing done")) << out.toStdString();

    if (::geteuid() != 0)
        GTEST_SKIP() << "loop devices need root; the block-device refusal is not tested";
    const QString image = dir.filePath("card.img");
    ASSERT_EQ(RunQ7card({"image", image, "600000"}, &out), 0);
    QString loop;
    if (RunTool("losetup", {"-f", "--show", image}, &loop) != 0)
        GTEST_SKIP() << "losetup refused";
    loop = loop.trimmed();
    const QByteArray before = Hash(image);
    // A loop device is no removable disk.
    EXPECT_EQ(RunQ7card({"format", "--yes", loop}, &out), 1);
    EXPECT_TRUE(out.contains("not on a removable card; nothing done")) << out.toStdString();
    RunTool("losetup", {"-d", loop});
    EXPECT_EQ(Hash(image), before);
}

} // namespace

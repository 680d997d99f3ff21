// The cards the builder writes on disk images, judged by the independent readers: sfdisk, fsck.fat
// and mtools.
#include "build_card.h"
#include "formatter/fat32_builder.h"
#include "peer_tools.h"
#include "platform/card.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        image = dir.filePath("card.img");
    }
    QTemporaryDir dir;
    QString image;
};

TEST_F(ImageTest, PeersAcceptTheBuiltCard)
{
    ASSERT_TRUE(MakeSparseImage(image, 15523840));
    FormatLayout l{};
    {
        std::unique_ptr<SectorDevice> dev = platform::OpenImageDevice(image, {255, 63});
        ASSERT_TRUE(dev);
        ASSERT_EQ(dev->SectorCount(), 15523840u);
        ASSERT_EQ(BuildCard(*dev, l), RETURN_FORMAT_SUCCESS);
    }
    QString out;
    ASSERT_EQ(RunTool("sfdisk", {"-d", image}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QString(image + "1 : start=        8192, size=    15515632, type=c")))
        << out.toStdString();
    EXPECT_EQ(out.count("start="), 1);

    int rc = 0;
    const QStringList findings = FsckFindings(image, l.volumeSectors, dir.path(), &rc);
    ASSERT_EQ(findings.size(), 2) << findings.join('\n').toStdString();
    EXPECT_EQ(findings[0], kLabelFinding);
    EXPECT_TRUE(findings[1].startsWith(kFreeCountFinding)) << findings[1].toStdString();

    const QString at = image + "@@4194304";
    const QString local = dir.filePath("local.txt");
    {
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("camera settings\r\n");
    }
    ASSERT_EQ(RunTool("mcopy", {"-i", at, local, "::/SETUP.CFG"}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunTool("mmd", {"-i", at, "::/DCIM"}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunTool("mtype", {"-i", at, "::/SETUP.CFG"}, &out), 0);
    EXPECT_EQ(out, "camera settings\r\n");
    ASSERT_EQ(RunTool("mdir", {"-i", at, "::"}, &out), 0);
    EXPECT_TRUE(out.contains("SETUP    CFG")) << out.toStdString();
    EXPECT_TRUE(out.contains("DCIM")) << out.toStdString();
    // After the copies the volume is still sound.
    const QStringList after = FsckFindings(image, l.volumeSectors, dir.path());
    for (const QString &f : after)
        EXPECT_TRUE(f == kLabelFinding || f.startsWith(kFreeCountFinding)) << f.toStdString();
}

// The smallest cards, each laid out by the formula whether or not the size test takes it: the
// test must accept exactly the volumes that fsck.fat counts as FAT32 and mtools can write to.
TEST_F(ImageTest, TheFat32MinimumIsWhatReadersSee)
{
    struct Case {
        uint64_t sectors;
        bool accepted;
        uint32_t dataClusters;
    };
    const Case cases[] = {
        {532464, false, 65274}, {532465, false, 65402}, {533488, false, 65402},
        {533489, true, 65529},  {533490, true, 65529},
    };
    const QRegularExpression counted("(\\d+) data clusters");
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.sectors);
        FormatLayout l{};
        EXPECT_EQ(ComputeLayout(tc.sectors, l), tc.accepted);
        EXPECT_EQ(DataClusters(l), tc.dataClusters);
        ASSERT_TRUE(MakeSparseImage(image, tc.sectors));
        {
            std::unique_ptr<SectorDevice> dev = platform::OpenImageDevice(image, {255, 63});
            ASSERT_TRUE(dev->WriteSector(0, MakeMBRSector({255, 63}, l.volumeSectors)));
            FormatContext c;
            c.device = dev.get();
            ASSERT_EQ(WriteFAT32Area(c, MakeBPB32Structure(l)), RETURN_FORMAT_SUCCESS);
        }
        const QString fsck = FsckVerbose(image, l.volumeSectors, dir.path());
        const QRegularExpressionMatch m = counted.match(fsck);
        ASSERT_TRUE(m.hasMatch()) << fsck.toStdString();
        EXPECT_EQ(m.captured(1).toUInt(), tc.dataClusters);
        EXPECT_EQ(fsck.contains("less than the required minimum"), !tc.accepted)
            << fsck.toStdString();

        const QString at = image + "@@4194304";
        const QString local = dir.filePath("local.txt");
        {
            QFile f(local);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("camera settings\r\n");
        }
        QString out;
        const bool written = RunTool("mcopy", {"-i", at, local, "::/SETUP.CFG"}, &out) == 0;
        EXPECT_EQ(written, tc.accepted) << out.toStdString();
        if (tc.accepted) {
            ASSERT_EQ(RunTool("mtype", {"-i", at, "::/SETUP.CFG"}, &out), 0);
            EXPECT_EQ(out, "camera settings\r\n");
        }
    }
}

} // namespace

#include "build_card.h"
#include "formatter/fat32_builder.h"
#include "memory_device.h"
#include "platform/card.h"

#include "skin/format_progress.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

QCoreApplication &App()
{
    static int argc = 1;
    static char name[] = "formatter_builder_test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Collects the posted progress values.
class ProgressWindow : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() != CFormatProgressEvent::kType)
            return QObject::event(e);
        values.push_back(static_cast<CFormatProgressEvent *>(e)->Percent());
        return true;
    }
    std::vector<int> values;
};

uint32_t Le32(const Sector &s, size_t at)
{
    return s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (uint32_t(s[at + 3]) << 24);
}

struct LayoutCase {
    uint64_t sectors;
    bool ok;
    uint32_t fatSectors;
    uint32_t volumeSectors;
};

TEST(FormatLayoutTest, ComputesTheCardsLayoutFromItsSize)
{
    const LayoutCase cases[] = {
        {15523840, true, 15152, 15515632},
        {62333952, true, 60865, 62325744},
        // The formula alone would lay out cards from 9,201 sectors, but below 65,525 data
        // clusters the volume is no FAT32 to any reader: 512 FAT sectors address 65,534
        // clusters, yet only 65,402 fit behind the FATs.
        {533489, true, 513, 525296},
        {533488, false, 0, 0},
        {532465, false, 0, 0},
        {532464, false, 0, 0},
        {9201, false, 0, 0},
        {9200, false, 0, 0},
        {8000, false, 0, 0},
        {0, false, 0, 0},
        {2000000000, true, 1953117, 1999991792},
        // Too many clusters for FAT32, and more sectors than 32 bits count.
        {0xFFFFFFFFull, false, 0, 0},
        {0x100000000ull + 15523840, false, 0, 0},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.sectors);
        FormatLayout l{};
        ASSERT_EQ(ComputeLayout(tc.sectors, l), tc.ok);
        if (!tc.ok)
            continue;
        EXPECT_EQ(l.lastSector, tc.sectors - 1);
        EXPECT_EQ(l.fatSectors, tc.fatSectors);
        EXPECT_EQ(l.reservedSectors, 32u);
        EXPECT_EQ(l.clusterCount, tc.fatSectors * 128 - 2);
        EXPECT_EQ(l.volumeSectors, tc.volumeSectors);
        EXPECT_EQ(l.sectorsPerCluster, 8u);
        EXPECT_LE(8191 + uint64_t(l.volumeSectors), tc.sectors - 2);
    }
    FormatLayout l{};
    ASSERT_TRUE(ComputeLayout(15523840, l));
    EXPECT_EQ(l.clusterCount, 1939454u);
}

TEST(PartitionEntryTest, WorkedExampleBytes)
{
    const std::array<uint8_t, 16> want = {0x00, 0x82, 0x03, 0x00, 0x0C, 0x4F, 0xF9, 0xC6,
                                          0x00, 0x20, 0x00, 0x00, 0xF0, 0xBF, 0xEC, 0x00};
    EXPECT_EQ(MakePartitionEntry({255, 63}, 15515632), want);
    const Sector mbr = MakeMBRSector({255, 63}, 15515632);
    EXPECT_EQ(mbr[0], 0xEB);
    EXPECT_EQ(mbr[1], 0x3C);
    EXPECT_EQ(mbr[2], 0x90);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), mbr.begin() + 446));
    for (int i = 3; i < 446; ++i)
        ASSERT_EQ(mbr[i], 0) << i;
    for (int i = 462; i < 510; ++i)
        ASSERT_EQ(mbr[i], 0) << i;
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
}

TEST(PartitionEntryTest, ChsFieldsAndTheirMarkers)
{
    struct Case {
        DiskGeometry g;
        uint32_t volumeSectors;
        std::array<uint8_t, 3> first, last;
    };
    const Case cases[] = {
        // 255/63: the start is always 0/130/3.
        {{255, 63}, 1008, {0x82, 0x03, 0x00}, {0x92, 0x02, 0x00}},
        {{255, 63}, 15515632, {0x82, 0x03, 0x00}, {0x4F, 0xF9, 0xC6}},
        // The 32 GB card ends behind cylinder 1023.
        {{255, 63}, 62325744, {0x82, 0x03, 0x00}, {0xFF, 0xC0, 0xFF}},
        // A small geometry puts even the start behind cylinder 1023.
        {{1, 4}, 1008, {0x00, 0xC1, 0xFF}, {0xFF, 0xC0, 0xFF}},
        {{16, 32}, 1008, {0x00, 0x01, 0x10}, {0x0F, 0x10, 0x11}},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.volumeSectors);
        const auto e = MakePartitionEntry(tc.g, tc.volumeSectors);
        EXPECT_EQ((std::array<uint8_t, 3>{e[1], e[2], e[3]}), tc.first);
        EXPECT_EQ((std::array<uint8_t, 3>{e[5], e[6], e[7]}), tc.last);
    }
}

TEST(SectorImageTest, BootSectorFsInfoFatHeadAndClearingSector)
{
    FormatLayout l{};
    ASSERT_TRUE(ComputeLayout(15523840, l));
    const Sector b = MakeBPB32Structure(l);
    EXPECT_EQ(b[0], 0xEB);
    EXPECT_EQ(b[1], 0x58);
    EXPECT_EQ(b[2], 0x90);
    for (int i = 3; i < 11; ++i)
        EXPECT_EQ(b[i], 0);
    EXPECT_EQ(b[11] | b[12] << 8, 512);
    EXPECT_EQ(b[13], 8);
    EXPECT_EQ(b[14] | b[15] << 8, 32);
    EXPECT_EQ(b[16], 2);
    EXPECT_EQ(b[21], 0xF8);
    EXPECT_EQ(b[24] | b[25] << 8, 63);
    EXPECT_EQ(b[26] | b[27] << 8, 255);
    EXPECT_EQ(Le32(b, 28), 8192u);
    EXPECT_EQ(Le32(b, 32), 15515632u);
    EXPECT_EQ(Le32(b, 36), 15152u);
    EXPECT_EQ(Le32(b, 44), 2u);
    EXPECT_EQ(b[48], 1);
    EXPECT_EQ(b[50], 6);
    EXPECT_EQ(b[64], 0x01);
    EXPECT_EQ(b[66], 0x29);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(&b[71]), 11), "NO NAME QV ");
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(&b[82]), 8), "FAT32   ");
    EXPECT_EQ(b[510], 0x55);
    EXPECT_EQ(b[511], 0xAA);

    const Sector f = MakeFSInfoStructure();
    EXPECT_EQ(Le32(f, 0), 0x41615252u);
    EXPECT_EQ(Le32(f, 484), 0x61417272u);
    EXPECT_EQ(Le32(f, 488), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(f, 492), 2u);
    EXPECT_EQ(Le32(f, 508), 0xAA550000u);

    const Sector h = FatHeadSector();
    EXPECT_EQ(Le32(h, 0), 0x0FFFFFF8u);
    EXPECT_EQ(Le32(h, 4), 0x0FFFFFFFu);
    EXPECT_EQ(Le32(h, 8), 0x0FFFFFFFu);
    for (int i = 12; i < 512; ++i)
        ASSERT_EQ(h[i], 0);

    const Sector c = ClearingSector();
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(c[i], i == 446 ? 0x80 : 0) << i;
}

TEST(IsOwnMBRTest, ComparesOnlyTheFirst446Bytes)
{
    const Sector own = MakeMBRSector({255, 63}, 15515632);
    struct Case {
        int offset; // byte altered, -1 none
        bool own;
    };
    const Case cases[] = {{-1, true},   {0, false},   {2, false},   {3, false},  {200, false},
                          {440, false}, {443, false}, {445, false}, {446, true}, {461, true},
                          {500, true},  {510, true},  {511, true}};
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.offset);
        Sector s = own;
        if (tc.offset >= 0)
            s[tc.offset] ^= 0x01;
        EXPECT_EQ(IsOwnMBR(s), tc.own);
    }
    // Whatever the partition entries hold.
    Sector s = MakeMBRSector({16, 32}, 1008);
    for (int i = 446; i < 512; ++i)
        s[i] = uint8_t(i * 7);
    EXPECT_TRUE(IsOwnMBR(s));
    EXPECT_FALSE(IsOwnMBR(ClearingSector()));
    EXPECT_FALSE(IsOwnMBR(Sector{}));
}

TEST(ProgressTest, BothBuildsFormulas)
{
    struct Case {
        uint32_t i, total;
        int from10, from0;
    };
    const Case cases[] = {{0, 30344, 10, 0}, {1, 3, 40, 33},         {2, 3, 70, 66},
                          {3, 3, 100, 100},  {30343, 30344, 99, 99}, {15172, 30344, 55, 50}};
    for (const auto &tc : cases) {
        EXPECT_EQ(ProgressPercent(tc.i, tc.total, ProgressScale::From10), tc.from10);
        EXPECT_EQ(ProgressPercent(tc.i, tc.total, ProgressScale::From0), tc.from0);
    }
}

TEST(WritePlanTest, WritesThePlanInOrderAndPostsProgress)
{
    App();
    for (ProgressScale scale : {ProgressScale::From10, ProgressScale::From0}) {
        MemoryDevice dev(15523840);
        ProgressWindow window;
        FormatLayout l{};
        FormatContext c;
        c.device = &dev;
        c.window = &window;
        c.scale = scale;
        ASSERT_TRUE(MakePartitionTable(c, l));
        // Sector 0 is written twice: cleared first, then the MBR.
        ASSERT_EQ(dev.writeOrder.size(), 2u);
        EXPECT_EQ(dev.writeOrder[0], 0u);
        const Sector boot = MakeBPB32Structure(l);
        c.progressTotal = PlanSectorCount(l);
        ASSERT_EQ(c.progressTotal, 30344u);
        uint32_t next = 0;
        ASSERT_EQ(WriteFAT32Area(c, boot, &next), RETURN_FORMAT_SUCCESS);
        EXPECT_EQ(next, 8192u + 40 + 2 * 15152);

        // One write per sector of the plan, in order P, P+1 ... P+40+2F-1.
        ASSERT_EQ(dev.writeOrder.size(), 2u + 30344);
        for (uint32_t k = 0; k < 30344; ++k)
            ASSERT_EQ(dev.writeOrder[2 + k], 8192 + k);
        EXPECT_EQ(dev.data.at(8192), boot);
        EXPECT_EQ(dev.data.at(8198), boot);
        EXPECT_EQ(dev.data.at(8193), MakeFSInfoStructure());
        EXPECT_EQ(dev.data.at(8199), MakeFSInfoStructure());
        EXPECT_EQ(dev.data.at(8224), FatHeadSector());
        EXPECT_EQ(dev.data.at(23376), FatHeadSector());
        EXPECT_EQ(dev.data.at(38535), Sector{});
        EXPECT_EQ(dev.data.count(38536), 0u);

        QCoreApplication::sendPostedEvents(&window);
        ASSERT_EQ(window.values.size(), 30344u + 1);
        EXPECT_EQ(window.values.front(), scale == ProgressScale::From10 ? 10 : 0);
        EXPECT_EQ(window.values.back(), 100);
        EXPECT_LT(window.values[30343], 100);
        for (size_t k = 1; k < window.values.size(); ++k)
            ASSERT_LE(window.values[k - 1], window.values[k]);
        for (size_t k = 0; k < 30344; ++k)
            ASSERT_EQ(window.values[k], ProgressPercent(k, 30344, scale));
    }
}

TEST(WritePlanTest, NothingIsPostedWhileTheTotalIsZero)
{
    App();
    MemoryDevice dev(533489);
    ProgressWindow window;
    FormatLayout l{};
    FormatContext c;
    c.device = &dev;
    c.window = &window;
    ASSERT_TRUE(MakePartitionTable(c, l));
    ASSERT_EQ(WriteFAT32Area(c, MakeBPB32Structure(l)), RETURN_FORMAT_SUCCESS);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_TRUE(window.values.empty());
}

struct MismatchCase {
    const char *name;
    std::map<uint32_t, int> corruptReads; // altered read-backs per sector
    int result;
};

TEST(WritePlanTest, VerifyMismatchesShareOneBudget)
{
    // The smallest card, 513 sectors per FAT: FAT 1 at 8224, FAT 2 at 8737.
    const uint64_t sectors = 533489;
    const MismatchCase cases[] = {
        {"one mismatch on FSInfo", {{8193, 1}}, RETURN_FORMAT_SUCCESS},
        {"101 repeated cycles", {{8193, 101}}, RETURN_FORMAT_SUCCESS},
        {"the 102nd mismatch", {{8193, 102}}, ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE},
        {"budget not reset between steps",
         {{8192, 50}, {8224, 52}},
         ERR_FORMAT_ERROR_FAT1_SEC_WRITE},
        {"101 spread over steps", {{8192, 50}, {8737, 51}}, RETURN_FORMAT_SUCCESS},
        {"boot sector", {{8192, 102}}, ERR_FORMAT_ERROR_BPB1_SEC_WRITE},
        {"backup boot sector", {{8198, 102}}, ERR_FORMAT_ERROR_BPB2_SEC_WRITE},
        {"backup FSInfo", {{8199, 200}}, ERR_FORMAT_ERROR_FSINFO2_SEC_WRITE},
        {"FAT 2", {{8737, 102}}, ERR_FORMAT_ERROR_FAT2_SEC_WRITE},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        MemoryDevice dev(sectors);
        FormatLayout l{};
        FormatContext c;
        c.device = &dev;
        ASSERT_TRUE(MakePartitionTable(c, l));
        ASSERT_EQ(l.fatSectors, 513u);
        dev.corruptReads = tc.corruptReads;
        EXPECT_EQ(WriteFAT32Area(c, MakeBPB32Structure(l)), tc.result);
        // Each mismatch costs one more write-and-compare cycle of its sector.
        int budget = 101;
        for (const auto &[lba, n] : tc.corruptReads) {
            const int mismatches = std::min(n, budget + 1);
            const bool failedHere = mismatches > budget;
            EXPECT_EQ(dev.writeAttempts[lba], failedHere ? mismatches : mismatches + 1) << lba;
            budget -= std::min(n, budget);
        }
    }
}

TEST(WritePlanTest, RefusedWritesAreTriedElevenTimes)
{
    struct Case {
        uint32_t lba;
        int refusals;
        int result;
        int attempts;
    };
    const Case cases[] = {
        {8192, -1, ERR_FORMAT_ERROR_BPB1_SEC_WRITE, 11},
        {8192, 10, RETURN_FORMAT_SUCCESS, 11},
        {8193, -1, ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE, 11},
        {8195, -1, ERR_FORMAT_ERROR_CLEAR_SEC_WRITE, 11},
        {8210, -1, ERR_FORMAT_ERROR_CLEAR_SEC_WRITE, 11},
        {8737 + 3, -1, ERR_FORMAT_ERROR_CLEAR_SEC_WRITE, 11},
        {8737, -1, ERR_FORMAT_ERROR_FAT2_SEC_WRITE, 11},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.lba);
        MemoryDevice dev(533489);
        FormatLayout l{};
        FormatContext c;
        c.device = &dev;
        ASSERT_TRUE(MakePartitionTable(c, l));
        dev.refusedLbas = {tc.lba};
        dev.refusalsLeft = tc.refusals;
        EXPECT_EQ(WriteFAT32Area(c, MakeBPB32Structure(l)), tc.result);
        EXPECT_EQ(dev.writeAttempts[tc.lba], tc.attempts);
        // Sector 0 keeps the new MBR and nothing behind the failed sector was written.
        EXPECT_TRUE(IsOwnMBR(dev.data.at(0)));
        if (tc.result != RETURN_FORMAT_SUCCESS) {
            EXPECT_EQ(dev.writeOrder.back(), tc.lba == 8192 ? 0u : tc.lba - 1);
        }
    }
}

TEST(MakePartitionTableTest, FailsWithoutALayout)
{
    struct Case {
        uint64_t sectors;
        DiskGeometry g;
    };
    const Case cases[] = {
        {0, {255, 63}}, {9200, {255, 63}}, {15523840, {0, 63}}, {15523840, {255, 0}}};
    for (const auto &tc : cases) {
        MemoryDevice dev(tc.sectors, tc.g);
        FormatLayout l{};
        FormatContext c;
        c.device = &dev;
        EXPECT_FALSE(MakePartitionTable(c, l));
        // Only the clearing write happened.
        ASSERT_EQ(dev.writeOrder.size(), 1u);
        EXPECT_EQ(dev.data.at(0), ClearingSector());
    }
    MemoryDevice refusing(15523840);
    refusing.refusedLbas = {0};
    refusing.refusalsLeft = -1;
    FormatLayout l{};
    FormatContext c;
    c.device = &refusing;
    EXPECT_FALSE(MakePartitionTable(c, l));
    EXPECT_EQ(refusing.writeAttempts[0], 11);
}

class ImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        image = dir.filePath("card.img");
    }
    // A card image of that many sectors, all zero (sparse where the file system allows).
    static bool SparseImage(const QString &path, uint64_t sectors)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.resize(qint64(sectors * 512));
    }
    QTemporaryDir dir;
    QString image;
};

TEST_F(ImageTest, TwoRunsDifferOnlyInTheVolumeId)
{
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(SparseImage(image, 600000));
        FormatLayout l{};
        {
            std::unique_ptr<SectorDevice> dev = platform::OpenImageDevice(image, {255, 63});
            ASSERT_EQ(BuildCard(*dev, l), RETURN_FORMAT_SUCCESS);
        }
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        for (int copy : {8192, 8198})
            for (int k = 67; k < 71; ++k)
                bytes[copy * 512 + k] = 0;
        if (run == 0) {
            first = bytes;
        } else {
            EXPECT_TRUE(bytes == first);
        }
    }
}

TEST_F(ImageTest, OldDataBehindTheRootClusterIsLeftAlone)
{
    ASSERT_TRUE(SparseImage(image, 600000));
    FormatLayout l{};
    ASSERT_TRUE(ComputeLayout(600000, l));
    const uint32_t behind = 8192 + 40 + 2 * l.fatSectors;
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(behind) * 512);
        f.write(QByteArray(1024, 'x'));
    }
    {
        std::unique_ptr<SectorDevice> dev = platform::OpenImageDevice(image, {255, 63});
        ASSERT_EQ(BuildCard(*dev, l), RETURN_FORMAT_SUCCESS);
    }
    QFile f(image);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    f.seek(qint64(behind - 1) * 512);
    const QByteArray got = f.read(3 * 512);
    EXPECT_EQ(got.left(512), QByteArray(512, '\0'));
    EXPECT_EQ(got.mid(512), QByteArray(1024, 'x'));
}

} // namespace

#include "formatter/fat32_builder.h"

#include "skin/format_progress.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

void Put16(Sector &s, size_t at, uint16_t v)
{
    s[at] = v & 0xFF;
    s[at + 1] = v >> 8;
}

void Put32(Sector &s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = (v >> (8 * i)) & 0xFF;
}

// Fields of the FAT32 boot sector, by offset: the BIOS parameter block and the extended boot
// record after it.
namespace bpb {
enum Field : size_t {
    kJumpBoot = 0,
    kBytesPerSector = 11,
    kSectorsPerCluster = 13,
    kReservedSectorCount = 14,
    kNumberOfFats = 16,
    kMedia = 21,
    kSectorsPerTrack = 24,
    kNumberOfHeads = 26,
    kHiddenSectors = 28,
    kTotalSectors32 = 32,
    kFatSize32 = 36,
    kRootCluster = 44,
    kFsInfoSector = 48,
    kBackupBootSector = 50,
    kDriveNumber = 64,
    kBootSignature = 66,
    kVolumeId = 67,
    kVolumeLabel = 71,
    kFileSystemType = 82,
};
} // namespace bpb

// 0x55 0xAA end the MBR and the boot sector.
constexpr size_t kSectorSignature = 510;

// Fields of the FSInfo sector and their fixed values.
namespace fsinfo {
enum Field : size_t {
    kLeadSignature = 0,
    kStructSignature = 484,
    kFreeCount = 488,
    kNextFree = 492,
    kTrailSignature = 508,
};
constexpr uint32_t kLeadSignatureValue = 0x41615252;
constexpr uint32_t kStructSignatureValue = 0x61417272;
constexpr uint32_t kTrailSignatureValue = 0xAA550000;
// The free count is not known.
constexpr uint32_t kUnknownFreeCount = 0xFFFFFFFF;
} // namespace fsinfo

// The root directory's cluster, where the search for a free cluster starts too.
constexpr uint32_t kRootDirectoryCluster = 2;

// The MBR: the partition table and the fields of its entries.
constexpr size_t kPartitionTableOffset = 446;
namespace entry {
enum Field : size_t {
    kBootIndicator = 0,
    kFirstChs = 1,
    kSystemId = 4,
    kLastChs = 5,
    kFirstLba = 8,
    kSectorsInPartition = 12,
};
} // namespace entry
constexpr uint8_t kActivePartition = 0x80;

uint16_t Get16(const Sector &s, size_t at)
{
    return s[at] | (s[at + 1] << 8);
}

uint32_t Get32(const Sector &s, size_t at)
{
    return s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (uint32_t(s[at + 3]) << 24);
}

Sector Zero()
{
    return Sector{};
}

// CHS bytes of an LBA; cylinders above 1023 take the fixed marker.
void PutChs(uint8_t *out, uint32_t lba, const DiskGeometry &g, bool last)
{
    const uint32_t perCylinder = g.heads * g.sectorsPerTrack;
    const uint32_t c = lba / perCylinder;
    const uint32_t h = (lba % perCylinder) / g.sectorsPerTrack;
    const uint32_t s = (lba % g.sectorsPerTrack) + 1;
    if (c > 1023) {
        out[0] = last ? 0xFF : 0x00;
        out[1] = last ? 0xC0 : 0xC1;
        out[2] = 0xFF;
        return;
    }
    out[0] = h & 0xFF;
    out[1] = (s | ((c >> 8) << 6)) & 0xFF;
    out[2] = c & 0xFF;
}

class Plan
{
public:
    explicit Plan(FormatContext &c) : m_c(c) {}

    void Posted()
    {
        if (m_c.window && m_c.progressTotal)
            PostFormatProgress(m_c.window, ProgressPercent(m_index, m_c.progressTotal, m_c.scale));
        ++m_index;
    }

    void Final()
    {
        if (m_c.window && m_c.progressTotal)
            PostFormatProgress(m_c.window,
                               ProgressPercent(m_c.progressTotal, m_c.progressTotal, m_c.scale));
    }

    // Write, read back and compare; a mismatch takes one retry from the plan's budget.
    bool Verified(uint32_t lba, const Sector &image)
    {
        for (;;) {
            if (!m_c.device->WriteSector(lba, image))
                return false;
            Sector back;
            if (m_c.device->ReadSector(lba, back) && back == image) {
                // A flush the medium refuses would leave the sector unconfirmed.
                if (!m_c.device->Flush())
                    return false;
                Posted();
                return true;
            }
            if (m_retries > 100)
                return false;
            ++m_retries;
        }
    }

    bool Zeros(uint32_t first, uint32_t count)
    {
        const Sector zero = Zero();
        for (uint32_t i = 0; i < count; ++i) {
            if (!m_c.device->WriteSector(first + i, zero))
                return false;
            Posted();
        }
        return m_c.device->Flush();
    }

private:
    FormatContext &m_c;
    uint32_t m_index = 0;
    int m_retries = 0;
};

} // namespace

const char *ResultCodeName(int code)
{
    switch (code) {
    case RETURN_PARTITION1ISNULL:
        return "RETURN_PARTITION1ISNULL";
    case RETURN_HAVENOTPARTITION:
        return "RETURN_HAVENOTPARTITION";
    case RETURN_PARTITION2ISNULL:
        return "RETURN_PARTITION2ISNULL";
    case RETURN_HAVE2PARTITION:
        return "RETURN_HAVE2PARTITION";
    case RETURN_HASMBR:
        return "RETURN_HASMBR";
    case RETURN_HASNOTMBR:
        return "RETURN_HASNOTMBR";
    case RETURN_FORMAT_SUCCESS:
        return "RETURN_FORMAT_SUCCESS";
    case ERR_PHYSUCALDRIVE:
        return "ERR_PHYSUCALDRIVE";
    case ERR_FORMAT_TYPE_UNKNOWN:
        return "ERR_FORMAT_TYPE_UNKNOWN";
    case ERR_FAT16_PARTITION:
        return "ERR_FAT16_PARTITION";
    case ERR_MBR_READ_ERROR:
        return "ERR_MBR_READ_ERROR";
    case ERR_PBR_READ_ERROR:
        return "ERR_PBR_READ_ERROR";
    case ERR_FAIL_FORMAT:
        return "ERR_FAIL_FORMAT";
    case ERR_FORMAT_ERROR_BPB1_SEC_WRITE:
        return "ERR_FORMAT_ERROR_BPB1_SEC_WRITE";
    case ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE:
        return "ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE";
    case ERR_FORMAT_ERROR_CLEAR_SEC_WRITE:
        return "ERR_FORMAT_ERROR_CLEAR_SEC_WRITE";
    case ERR_FORMAT_ERROR_BPB2_SEC_WRITE:
        return "ERR_FORMAT_ERROR_BPB2_SEC_WRITE";
    case ERR_FORMAT_ERROR_FSINFO2_SEC_WRITE:
        return "ERR_FORMAT_ERROR_FSINFO2_SEC_WRITE";
    case ERR_FORMAT_ERROR_FAT1_SEC_WRITE:
        return "ERR_FORMAT_ERROR_FAT1_SEC_WRITE";
    case ERR_FORMAT_ERROR_FAT2_SEC_WRITE:
        return "ERR_FORMAT_ERROR_FAT2_SEC_WRITE";
    default:
        return nullptr;
    }
}

bool SectorDevice::WriteSector(uint32_t lba, const Sector &data)
{
    for (int attempt = 1;; ++attempt) {
        if (WriteOnce(lba, data))
            return true;
        if (attempt == kWriteAttempts)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kWriteRetryMs));
    }
}

int ProgressPercent(uint32_t index, uint32_t total, ProgressScale scale)
{
    const double share = double(index) / double(total);
    return scale == ProgressScale::From10 ? int(std::trunc(share * 90)) + 10
                                          : int(std::trunc(share * 100));
}

bool ComputeLayout(uint64_t sectorCount, FormatLayout &layout)
{
    // The layout counts in 32 bits; a count that does not fit would wrap to a wrong card size.
    if (sectorCount == 0 || sectorCount > 0xFFFFFFFFull)
        return false;
    layout.lastSector = uint32_t(sectorCount - 1);
    layout.sectorsPerCluster = kSectorsPerCluster;
    layout.reservedSectors = kReservedSectors;
    const double fat = ((double(layout.lastSector) - kPartitionStart) / 8 + 2) * 4 / 512;
    layout.fatSectors = fat < 1 ? 0 : uint32_t(fat);
    layout.clusterCount = layout.fatSectors * 128 - 2;
    layout.volumeSectors = layout.clusterCount * kSectorsPerCluster;
    if (layout.fatSectors == 0 || layout.volumeSectors > layout.lastSector)
        return false;
    // A FAT32 volume has from 65,525 data clusters (with fewer every reader takes it for FAT16;
    // what counts is the clusters behind the FATs, not what the FAT could address) to the last
    // cluster number 0x0FFFFFF6 (more make a volume no reader accepts).
    return DataClusters(layout) >= kMinFat32Clusters && layout.clusterCount <= 0x0FFFFFF5 - 2;
}

Sector ClearingSector()
{
    Sector s = Zero();
    s[kPartitionTableOffset + entry::kBootIndicator] = kActivePartition;
    return s;
}

std::array<uint8_t, 16> MakePartitionEntry(const DiskGeometry &geometry, uint32_t volumeSectors)
{
    std::array<uint8_t, 16> e{};
    e[entry::kBootIndicator] = 0x00;
    PutChs(&e[entry::kFirstChs], kPartitionStart, geometry, false);
    e[entry::kSystemId] = kPartitionType;
    PutChs(&e[entry::kLastChs], volumeSectors + kPartitionStart - 1, geometry, true);
    for (int i = 0; i < 4; ++i) {
        e[entry::kFirstLba + i] = (kPartitionStart >> (8 * i)) & 0xFF;
        e[entry::kSectorsInPartition + i] = (volumeSectors >> (8 * i)) & 0xFF;
    }
    return e;
}

Sector MakeMBRSector(const DiskGeometry &geometry, uint32_t volumeSectors)
{
    Sector s = Zero();
    s[0] = 0xEB;
    s[1] = 0x3C;
    s[2] = 0x90;
    const auto entry = MakePartitionEntry(geometry, volumeSectors);
    std::memcpy(&s[kPartitionTableOffset], entry.data(), entry.size());
    s[kSectorSignature] = 0x55;
    s[kSectorSignature + 1] = 0xAA;
    return s;
}

Sector MakeBPB32Structure(const FormatLayout &layout)
{
    Sector s = Zero();
    s[bpb::kJumpBoot] = 0xEB;
    s[bpb::kJumpBoot + 1] = 0x58;
    s[bpb::kJumpBoot + 2] = 0x90;
    Put16(s, bpb::kBytesPerSector, kSectorSize);
    s[bpb::kSectorsPerCluster] = uint8_t(layout.sectorsPerCluster);
    Put16(s, bpb::kReservedSectorCount, uint16_t(layout.reservedSectors));
    s[bpb::kNumberOfFats] = kFatCount;
    s[bpb::kMedia] = kMediaByte;
    Put16(s, bpb::kSectorsPerTrack, 63);
    Put16(s, bpb::kNumberOfHeads, 255);
    Put32(s, bpb::kHiddenSectors, kPartitionStart);
    Put32(s, bpb::kTotalSectors32, layout.volumeSectors);
    Put32(s, bpb::kFatSize32, layout.fatSectors);
    Put32(s, bpb::kRootCluster, kRootDirectoryCluster);
    Put16(s, bpb::kFsInfoSector, 1);
    Put16(s, bpb::kBackupBootSector, 6);
    s[bpb::kDriveNumber] = 0x01;
    s[bpb::kBootSignature] = 0x29; // the volume id, label and type follow
    Put32(s, bpb::kVolumeId, uint32_t(std::time(nullptr)));
    std::memcpy(&s[bpb::kVolumeLabel], "NO NAME QV ", 11);
    std::memcpy(&s[bpb::kFileSystemType], "FAT32   ", 8);
    s[kSectorSignature] = 0x55;
    s[kSectorSignature + 1] = 0xAA;
    return s;
}

Sector MakeFSInfoStructure()
{
    Sector s = Zero();
    Put32(s, fsinfo::kLeadSignature, fsinfo::kLeadSignatureValue);
    Put32(s, fsinfo::kStructSignature, fsinfo::kStructSignatureValue);
    Put32(s, fsinfo::kFreeCount, fsinfo::kUnknownFreeCount);
    Put32(s, fsinfo::kNextFree, kRootDirectoryCluster);
    Put32(s, fsinfo::kTrailSignature, fsinfo::kTrailSignatureValue);
    return s;
}

Sector FatHeadSector()
{
    Sector s = Zero();
    // Entry 0 holds the media byte, entry 1 the end-of-chain mark; the root directory is a
    // chain of one cluster.
    constexpr uint32_t kEndOfChain = 0x0FFFFFFF;
    Put32(s, 0, 0x0FFFFF00 | kMediaByte);
    Put32(s, 4, kEndOfChain);
    Put32(s, 4 * kRootDirectoryCluster, kEndOfChain);
    return s;
}

bool IsOwnMBR(const Sector &sector0)
{
    static const Sector own = MakeMBRSector(DiskGeometry{255, 63}, 0);
    return std::memcmp(sector0.data(), own.data(), 446) == 0;
}

bool MakePartitionTable(FormatContext &context, FormatLayout &layout)
{
    SectorDevice &device = *context.device;
    if (!device.WriteSector(0, ClearingSector()))
        return false;
    if (!ComputeLayout(device.SectorCount(), layout))
        return false;
    DiskGeometry geometry{};
    if (!device.Geometry(geometry) || geometry.heads == 0 || geometry.sectorsPerTrack == 0)
        return false;
    return device.WriteSector(0, MakeMBRSector(geometry, layout.volumeSectors));
}

int BuildCard(FormatContext &context, const std::function<void()> &beforeArea)
{
    FormatLayout layout{};
    if (!MakePartitionTable(context, layout))
        return ERR_FAIL_FORMAT;
    const Sector boot = MakeBPB32Structure(layout);
    context.progressTotal = PlanSectorCount(layout);
    if (beforeArea)
        beforeArea();
    return WriteFAT32Area(context, boot);
}

uint32_t DataClusters(const FormatLayout &layout)
{
    const uint64_t meta =
        uint64_t(layout.reservedSectors) + uint64_t(kFatCount) * layout.fatSectors;
    if (layout.sectorsPerCluster == 0 || layout.volumeSectors <= meta)
        return 0;
    return uint32_t((layout.volumeSectors - meta) / layout.sectorsPerCluster);
}

int WriteFAT32Area(FormatContext &context, const Sector &bootSector, uint32_t *nextSector)
{
    const uint32_t p = kPartitionStart;
    const uint32_t fsInfo = p + Get16(bootSector, bpb::kFsInfoSector);
    const uint32_t backup = p + Get16(bootSector, bpb::kBackupBootSector);
    const uint32_t fat1 = p + Get16(bootSector, bpb::kReservedSectorCount);
    const uint32_t fatSectors = Get32(bootSector, bpb::kFatSize32);
    const uint32_t fat2 = fat1 + fatSectors;
    // The root directory is the first cluster.
    const uint32_t rootSectors = bootSector[bpb::kSectorsPerCluster];
    const Sector info = MakeFSInfoStructure();
    const Sector fatHead = FatHeadSector();

    Plan plan(context);
    if (!plan.Verified(p, bootSector))
        return ERR_FORMAT_ERROR_BPB1_SEC_WRITE;
    if (!plan.Verified(fsInfo, info))
        return ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE;
    if (!plan.Zeros(fsInfo + 1, backup - fsInfo - 1))
        return ERR_FORMAT_ERROR_CLEAR_SEC_WRITE;
    if (!plan.Verified(backup, bootSector))
        return ERR_FORMAT_ERROR_BPB2_SEC_WRITE;
    if (!plan.Verified(backup + 1, info))
        return ERR_FORMAT_ERROR_FSINFO2_SEC_WRITE;
    if (!plan.Zeros(backup + 2, fat1 - backup - 2))
        return ERR_FORMAT_ERROR_CLEAR_SEC_WRITE;
    if (!plan.Verified(fat1, fatHead))
        return ERR_FORMAT_ERROR_FAT1_SEC_WRITE;
    if (!plan.Zeros(fat1 + 1, fatSectors - 1))
        return ERR_FORMAT_ERROR_CLEAR_SEC_WRITE;
    if (!plan.Verified(fat2, fatHead))
        return ERR_FORMAT_ERROR_FAT2_SEC_WRITE;
    // The rest of FAT 2 and the root directory's cluster.
    if (!plan.Zeros(fat2 + 1, fatSectors - 1 + rootSectors))
        return ERR_FORMAT_ERROR_CLEAR_SEC_WRITE;
    if (nextSector)
        *nextSector = fat2 + fatSectors + rootSectors;
    plan.Final();
    return RETURN_FORMAT_SUCCESS;
}

// The card layout and the FAT32 volume start the settings tool writes itself: the layout from
// the card's size, every sector image, and the verified write plan with its progress. Pure
// logic over a SectorDevice; the devices and the procedure that picks the card live beside it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

class QObject;

constexpr uint32_t kSectorSize = 512;
using Sector = std::array<uint8_t, kSectorSize>;

constexpr uint32_t kPartitionStart = 8192;
constexpr uint32_t kReservedSectors = 32;
constexpr uint32_t kFatCount = 2;
constexpr uint32_t kSectorsPerCluster = 8;
constexpr uint8_t kMediaByte = 0xF8;
constexpr uint8_t kPartitionType = 0x0C;
constexpr uint32_t kMinFat32Clusters = 65525;

// Result codes of MakeMBR and of the write plan; the numbers are fixed.
enum : int {
    RETURN_PARTITION1ISNULL = 1,
    RETURN_HAVENOTPARTITION = 2,
    RETURN_PARTITION2ISNULL = 3,
    RETURN_HAVE2PARTITION = 4,
    RETURN_HASMBR = 5,
    RETURN_HASNOTMBR = 6,
    RETURN_FORMAT_SUCCESS = 7,
    ERR_PHYSUCALDRIVE = 101,
    ERR_FORMAT_TYPE_UNKNOWN = 102,
    ERR_FAT16_PARTITION = 103,
    ERR_MBR_READ_ERROR = 104,
    ERR_PBR_READ_ERROR = 105,
    ERR_FAIL_FORMAT = 106,
    ERR_FORMAT_ERROR_BPB1_SEC_WRITE = 107,
    ERR_FORMAT_ERROR_FSINFO1_SEC_WRITE = 108,
    ERR_FORMAT_ERROR_CLEAR_SEC_WRITE = 109,
    ERR_FORMAT_ERROR_BPB2_SEC_WRITE = 110,
    ERR_FORMAT_ERROR_FSINFO2_SEC_WRITE = 111,
    ERR_FORMAT_ERROR_FAT1_SEC_WRITE = 112,
    ERR_FORMAT_ERROR_FAT2_SEC_WRITE = 113,
};

// The name the log gives a code (1-7 and 101-113), nullptr for any other.
const char *ResultCodeName(int code);

struct FormatLayout {
    uint32_t lastSector;
    uint32_t fatSectors;
    uint32_t reservedSectors;
    uint32_t clusterCount;
    uint32_t volumeSectors;
    uint32_t sectorsPerCluster;
};

struct DiskGeometry {
    uint32_t heads; // tracks per cylinder
    uint32_t sectorsPerTrack;
};

// What the builder needs of a card. WriteSector tries a refused write 11 times, 100 ms apart.
class SectorDevice
{
public:
    virtual ~SectorDevice() = default;
    virtual bool ReadSector(uint32_t lba, Sector &out) = 0;
    bool WriteSector(uint32_t lba, const Sector &data);
    virtual bool Flush() = 0;
    // 0 when the size cannot be found.
    virtual uint64_t SectorCount() = 0;
    virtual bool Geometry(DiskGeometry &geometry) = 0;

    static constexpr int kWriteAttempts = 11;
    static constexpr int kWriteRetryMs = 100;

protected:
    // One attempt at writing 512 bytes at lba × 512.
    virtual bool WriteOnce(uint32_t lba, const Sector &data) = 0;
};

// The two builds post different progress figures.
enum class ProgressScale {
    From10, // trunc(i / total × 90) + 10
    From0,  // trunc(i / total × 100)
};

struct FormatContext {
    QObject *window = nullptr; // receives WM_FORMAT_PROGRESS; none: nothing is posted
    SectorDevice *device = nullptr;
    uint32_t progressTotal = 0;
    ProgressScale scale = ProgressScale::From10;
};

// The percentage posted after the sector of plan index i.
int ProgressPercent(uint32_t index, uint32_t total, ProgressScale scale);

// False when the card is too small or too large for a FAT32 volume of this layout (the
// smallest card that takes it has 533,489 sectors). A card refused for its cluster count still
// gets the formula's layout.
bool ComputeLayout(uint64_t sectorCount, FormatLayout &layout);

// The clusters of the data area: what follows the reserved sectors and the two FATs inside the
// volume. This count, not the FAT's capacity, tells a reader FAT32 from FAT16.
uint32_t DataClusters(const FormatLayout &layout);

Sector ClearingSector();
// The 16-byte entry of the one partition.
std::array<uint8_t, 16> MakePartitionEntry(const DiskGeometry &geometry, uint32_t volumeSectors);
Sector MakeMBRSector(const DiskGeometry &geometry, uint32_t volumeSectors);
Sector MakeBPB32Structure(const FormatLayout &layout);
Sector MakeFSInfoStructure();
Sector FatHeadSector();
bool IsOwnMBR(const Sector &sector0);

// Writes the clearing sector, computes the layout and writes the MBR sector.
bool MakePartitionTable(FormatContext &context, FormatLayout &layout);

// Runs the write plan after the MBR: returns RETURN_FORMAT_SUCCESS or the failed step's code;
// nextSector receives the sector after the last one written.
int WriteFAT32Area(FormatContext &context, const Sector &bootSector,
                   uint32_t *nextSector = nullptr);

// The card's build on context.device once the guards have passed: the partition table, then
// the FAT32 area with its progress. beforeArea runs between the two (where the Windows side
// locks the volume). RETURN_FORMAT_SUCCESS, ERR_FAIL_FORMAT when the partition table was not
// written, or the failed write's code.
int BuildCard(FormatContext &context, const std::function<void()> &beforeArea = nullptr);

// The sectors the write plan writes for a layout.
inline uint32_t PlanSectorCount(const FormatLayout &layout)
{
    return layout.reservedSectors + 2 * layout.fatSectors + 8;
}

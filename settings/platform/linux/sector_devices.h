// Sector devices on Linux: a disk image file, or the card's whole block device.
#pragma once

#include "formatter/fat32_builder.h"

#include <QString>

// Sector I/O at LBA × 512 on an open file descriptor, which it closes.
class FileSectorDevice : public SectorDevice
{
public:
    ~FileSectorDevice() override;

    // A disk image (created when missing, never truncated) with the given geometry.
    static FileSectorDevice *OpenImage(const QString &path, const DiskGeometry &geometry);
    // A block device, opened exclusively for reading and writing; its size from BLKGETSIZE64,
    // its geometry from HDIO_GETGEO, or 255 heads and 63 sectors when it has none.
    static FileSectorDevice *OpenBlockDevice(const QString &path);

    bool ReadSector(uint32_t lba, Sector &out) override;
    bool Flush() override;
    uint64_t SectorCount() override;
    bool Geometry(DiskGeometry &geometry) override;
    int Fd() const { return m_fd; }

protected:
    bool WriteOnce(uint32_t lba, const Sector &data) override;

private:
    FileSectorDevice(int fd, bool block, const DiskGeometry &geometry)
        : m_fd(fd), m_block(block), m_geometry(geometry)
    {}
    int m_fd;
    bool m_block;
    DiskGeometry m_geometry;
};

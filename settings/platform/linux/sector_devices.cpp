#include "platform/linux/sector_devices.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

FileSectorDevice::~FileSectorDevice()
{
    ::close(m_fd);
}

FileSectorDevice *FileSectorDevice::OpenImage(const QString &path, const DiskGeometry &geometry)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    return new FileSectorDevice(fd, false, geometry);
}

FileSectorDevice *FileSectorDevice::OpenBlockDevice(const QString &path)
{
    // O_EXCL on a block device: refused while anything holds it (a mounted partition included).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_EXCL | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    DiskGeometry geometry{255, 63};
    struct hd_geometry geo {};
    if (::ioctl(fd, HDIO_GETGEO, &geo) == 0 && geo.heads && geo.sectors)
        geometry = {geo.heads, geo.sectors};
    return new FileSectorDevice(fd, true, geometry);
}

bool FileSectorDevice::ReadSector(uint32_t lba, Sector &out)
{
    return ::pread(m_fd, out.data(), kSectorSize, off_t(lba) * kSectorSize) == ssize_t(kSectorSize);
}

bool FileSectorDevice::WriteOnce(uint32_t lba, const Sector &data)
{
    return ::pwrite(m_fd, data.data(), kSectorSize, off_t(lba) * kSectorSize) ==
           ssize_t(kSectorSize);
}

bool FileSectorDevice::Flush()
{
    return ::fsync(m_fd) == 0;
}

uint64_t FileSectorDevice::SectorCount()
{
    uint64_t bytes = 0;
    if (m_block) {
        if (::ioctl(m_fd, BLKGETSIZE64, &bytes) != 0)
            return 0;
    } else {
        struct stat st;
        if (::fstat(m_fd, &st) != 0)
            return 0;
        bytes = uint64_t(st.st_size);
    }
    return bytes / kSectorSize;
}

bool FileSectorDevice::Geometry(DiskGeometry &geometry)
{
    geometry = m_geometry;
    return true;
}

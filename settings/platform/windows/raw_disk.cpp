// The card's drive, volume and physical disk through the Windows calls.
#include "platform/windows/raw_disk.h"

#include "file/debug_log.h"
#include "platform/windows/wide.h"

#include <QDir>

#include <windows.h>

#include <winioctl.h>

#include <vector>

namespace {

// The security of the raw handles on Windows NT 6 and later: a DACL that grants everything to
// the built-in Users and Administrators, or a null DACL when that cannot be built.
class RawHandleSecurity
{
public:
    RawHandleSecurity()
    {
        if (!InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION))
            return;
        m_valid = true;
        if (!BuildAcl() || !SetSecurityDescriptorDacl(&m_descriptor, TRUE, m_acl, FALSE))
            SetSecurityDescriptorDacl(&m_descriptor, TRUE, nullptr, FALSE);
        m_attributes.nLength = sizeof m_attributes;
        m_attributes.lpSecurityDescriptor = &m_descriptor;
        m_attributes.bInheritHandle = FALSE;
    }
    ~RawHandleSecurity()
    {
        for (PSID sid : m_sids)
            if (sid)
                FreeSid(sid);
    }
    RawHandleSecurity(const RawHandleSecurity &) = delete;
    RawHandleSecurity &operator=(const RawHandleSecurity &) = delete;

    // False when even the descriptor could not be initialised: the open fails.
    bool Valid() const { return m_valid; }
    SECURITY_ATTRIBUTES *Attributes() { return &m_attributes; }

private:
    bool BuildAcl()
    {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        const DWORD groups[2] = {DOMAIN_ALIAS_RID_USERS, DOMAIN_ALIAS_RID_ADMINS};
        DWORD size = sizeof(ACL);
        for (int i = 0; i < 2; ++i) {
            if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, groups[i], 0, 0, 0,
                                          0, 0, 0, &m_sids[i]))
                return false;
            size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(m_sids[i]);
        }
        m_aclBuffer.assign(size, 0);
        m_acl = reinterpret_cast<PACL>(m_aclBuffer.data());
        if (!InitializeAcl(m_acl, size, ACL_REVISION))
            return false;
        for (PSID sid : m_sids)
            if (!AddAccessAllowedAce(m_acl, ACL_REVISION, GENERIC_ALL, sid))
                return false;
        return true;
    }

    SECURITY_DESCRIPTOR m_descriptor = {};
    SECURITY_ATTRIBUTES m_attributes = {};
    PSID m_sids[2] = {};
    std::vector<BYTE> m_aclBuffer;
    PACL m_acl = nullptr;
    bool m_valid = false;
};

bool Control(HANDLE h, DWORD code, void *out = nullptr, DWORD outSize = 0)
{
    DWORD returned = 0;
    return DeviceIoControl(h, code, nullptr, 0, out, outSize, &returned, nullptr);
}

// Seeks to LBA × 512, the 64-bit offset passed as low part LBA << 9 and high part LBA >> 23.
bool Seek(HANDLE h, uint32_t lba)
{
    LONG high = LONG(lba >> 23);
    const DWORD low = SetFilePointer(h, LONG(DWORD(lba << 9)), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

// Sector I/O on a raw handle (the physical disk, or a disk image file), which it closes.
class HandleDisk : public RawDisk
{
public:
    // image: a disk image file, whose size is the file's and whose geometry is given.
    HandleDisk(HANDLE h, bool image, const DiskGeometry &geometry)
        : m_handle(h), m_image(image), m_geometry(geometry)
    {}
    ~HandleDisk() override { CloseHandle(m_handle); }

    bool ReadSector(uint32_t lba, Sector &out) override
    {
        DWORD read = 0;
        return Seek(m_handle, lba) && ReadFile(m_handle, out.data(), kSectorSize, &read, nullptr) &&
               read == kSectorSize;
    }
    bool Flush() override { return FlushFileBuffers(m_handle); }
    uint64_t SectorCount() override
    {
        if (m_image) {
            LARGE_INTEGER size = {};
            return GetFileSizeEx(m_handle, &size) ? uint64_t(size.QuadPart) / kSectorSize : 0;
        }
        // The first disk extent's length, as a 32-bit count.
        alignas(VOLUME_DISK_EXTENTS) BYTE extents[272] = {};
        if (Control(m_handle, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, extents, sizeof extents)) {
            const auto *e = reinterpret_cast<const VOLUME_DISK_EXTENTS *>(extents);
            return e->NumberOfDiskExtents == 0
                       ? 0
                       : uint32_t(uint64_t(e->Extents[0].ExtentLength.QuadPart) / kSectorSize);
        }
        // A disk whose driver does not answer the volume query on the whole disk still knows
        // its length.
        GET_LENGTH_INFORMATION length = {};
        if (!Control(m_handle, IOCTL_DISK_GET_LENGTH_INFO, &length, sizeof length))
            return 0;
        return uint32_t(uint64_t(length.Length.QuadPart) / kSectorSize);
    }
    bool Geometry(DiskGeometry &geometry) override
    {
        if (m_image) {
            geometry = m_geometry;
            return true;
        }
        DISK_GEOMETRY g = {};
        if (!Control(m_handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, &g, sizeof g))
            return false;
        geometry = {uint32_t(g.TracksPerCylinder), uint32_t(g.SectorsPerTrack)};
        return true;
    }
    void Lock() override { Control(m_handle, FSCTL_LOCK_VOLUME); }
    void Unlock() override { Control(m_handle, FSCTL_UNLOCK_VOLUME); }

protected:
    bool WriteOnce(uint32_t lba, const Sector &data) override
    {
        DWORD written = 0;
        return Seek(m_handle, lba) &&
               WriteFile(m_handle, data.data(), kSectorSize, &written, nullptr) &&
               written == kSectorSize;
    }

private:
    HANDLE m_handle;
    bool m_image;
    DiskGeometry m_geometry;
};

class HandleVolume : public RawVolume
{
public:
    explicit HandleVolume(HANDLE h) : m_handle(h) {}
    ~HandleVolume() override { CloseHandle(m_handle); }
    void Lock() override { Control(m_handle, FSCTL_LOCK_VOLUME); }
    void Unlock() override { Control(m_handle, FSCTL_UNLOCK_VOLUME); }
    void Flush() override { FlushFileBuffers(m_handle); }
    void Dismount() override { Control(m_handle, FSCTL_DISMOUNT_VOLUME); }
    void AllowExtendedDasdIo() override { Control(m_handle, FSCTL_ALLOW_EXTENDED_DASD_IO); }

private:
    HANDLE m_handle;
};

QString VolumePath(wchar_t letter)
{
    return QStringLiteral("\\\\?\\%1:").arg(QChar(letter));
}

// A raw handle for reading and writing, with the security of the version test.
HANDLE OpenRaw(const QString &path, DWORD flags)
{
    SECURITY_ATTRIBUTES *security = nullptr;
    RawHandleSecurity secured;
    if (VersionTest()) {
        if (!secured.Valid())
            return INVALID_HANDLE_VALUE;
        security = secured.Attributes();
    }
    return CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       security, OPEN_EXISTING, flags, nullptr);
}

} // namespace

bool VersionTest()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // Deprecated, and what the tool has always asked.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 5;
}

int DiskNumberOf(wchar_t letter)
{
    const HANDLE volume =
        CreateFileW(Wide(VolumePath(letter)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (volume == INVALID_HANDLE_VALUE)
        return -1;
    // Room for exactly one extent: a volume on several yields none.
    alignas(VOLUME_DISK_EXTENTS) BYTE extents[32] = {};
    const bool ok = Control(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, extents, sizeof extents);
    CloseHandle(volume);
    const auto *e = reinterpret_cast<const VOLUME_DISK_EXTENTS *>(extents);
    return ok && e->NumberOfDiskExtents >= 1 ? int(e->Extents[0].DiskNumber) : -1;
}

std::unique_ptr<RawDisk> OpenRawDisk(const QString &path)
{
    const HANDLE h = OpenRaw(path, FILE_FLAG_WRITE_THROUGH);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<HandleDisk>(h, false, DiskGeometry{});
}

std::unique_ptr<RawDisk> OpenPhysicalDisk(int number)
{
    const QString path = QStringLiteral("\\\\.\\PhysicalDrive%1").arg(number);
    DebugLog(path);
    return OpenRawDisk(path);
}

std::unique_ptr<RawVolume> OpenVolume(wchar_t letter)
{
    const HANDLE h = OpenRaw(VolumePath(letter), 0);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<HandleVolume>(h);
}

std::unique_ptr<SectorDevice> OpenImageFile(const QString &path, const DiskGeometry &geometry)
{
    const HANDLE h = CreateFileW(Wide(QDir::toNativeSeparators(path)), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<HandleDisk>(h, true, geometry);
}

CardHost CardHost::System()
{
    CardHost h;
    h.driveType = [](const QString &root) {
        return unsigned(GetDriveTypeW(Wide(QDir::toNativeSeparators(root))));
    };
    h.diskNumber = DiskNumberOf;
    h.fileSystemName = [](const QString &root, QString *fileSystem) {
        wchar_t name[MAX_PATH + 1] = {}, system[MAX_PATH + 1] = {};
        DWORD serial = 0, length = 0, flags = 0;
        if (!GetVolumeInformationW(Wide(QDir::toNativeSeparators(root)), name, MAX_PATH + 1,
                                   &serial, &length, &flags, system, MAX_PATH + 1))
            return false;
        *fileSystem = QString::fromWCharArray(system);
        return true;
    };
    h.openPhysicalDisk = OpenPhysicalDisk;
    h.openVolume = OpenVolume;
    h.versionTest = VersionTest;
    h.setVolumeLabel = [](const QString &root, const QString &label) {
        return bool(SetVolumeLabelW(Wide(QDir::toNativeSeparators(root)), Wide(label)));
    };
    return h;
}

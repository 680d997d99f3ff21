// The Windows system the card formatter works on: the calls of the drive, volume and physical
// disk that the rebuild and the format go through, which tests replace with their own.
#pragma once

#include "formatter/fat32_builder.h"

#include <QString>

#include <functional>
#include <memory>

// The physical-disk handle ("\\.\PhysicalDrive%d"): all sector I/O of the rebuild, and the lock.
class RawDisk : public SectorDevice
{
public:
    // FSCTL_LOCK_VOLUME and FSCTL_UNLOCK_VOLUME; their results are not checked.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// The volume handle ("\\?\%c:"): locked, flushed and dismounted, never written.
class RawVolume
{
public:
    virtual ~RawVolume() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual void Flush() = 0;
    virtual void Dismount() = 0;
    virtual void AllowExtendedDasdIo() = 0;
};

struct CardHost {
    // GetDriveTypeW of a root ("E:\").
    std::function<unsigned(const QString &root)> driveType;
    // The number of the physical disk that holds the volume of the letter; -1 when the volume's
    // disk extents cannot be read or it has not exactly one.
    std::function<int(wchar_t letter)> diskNumber;
    // GetVolumeInformationW's file-system name of a root; false when the call fails.
    std::function<bool(const QString &root, QString *fileSystem)> fileSystemName;
    // The physical disk, opened for reading and writing (the path is logged first); null when
    // it cannot be opened.
    std::function<std::unique_ptr<RawDisk>(int number)> openPhysicalDisk;
    // The volume, opened for reading and writing; null when it cannot be opened.
    std::function<std::unique_ptr<RawVolume>(wchar_t letter)> openVolume;
    // Windows NT 6 or later (GetVersionExW): the dismount without FSCTL_ALLOW_EXTENDED_DASD_IO.
    std::function<bool()> versionTest;
    // SetVolumeLabelW.
    std::function<bool(const QString &root, const QString &label)> setVolumeLabel;
    // Where FormatEx is looked up by name.
    QString formatterLibrary = QStringLiteral("fmifs.dll");

    // The real Windows calls.
    static CardHost System();
};

// The messages of a missing system formatter.
extern const char kFormatterLoadFailedText[];   // "LoadLibrary(fmifs.dll) failed"
extern const char kFormatterLookupFailedText[]; // "GetProcAddress(fmifs) failed"

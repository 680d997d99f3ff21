// The real calls behind CardHost::System(): the drive, the volume "\\?\%c:" and the physical disk
// "\\.\PhysicalDrive%d" as the rebuild opens and asks them.
#pragma once

#include "card_host.h"

#include <QString>

#include <memory>

// Windows NT 6 or later: GetVersionExW's platform id 2 with a major version above 5.
bool VersionTest();

// The volume of the letter opened for reading, its disk extents asked with room for exactly one:
// Extents[0].DiskNumber when the call succeeds with at least one extent, otherwise -1.
int DiskNumberOf(wchar_t letter);

// A raw disk or volume path opened for reading and writing with write-through (and, under the
// version test, the raw handles' security). Null when it cannot be opened.
std::unique_ptr<RawDisk> OpenRawDisk(const QString &path);
// "\\.\PhysicalDrive<number>", logged, then opened as OpenRawDisk does.
std::unique_ptr<RawDisk> OpenPhysicalDisk(int number);

// "\\?\<letter>:" opened for reading and writing, with the same security rule; null on failure.
std::unique_ptr<RawVolume> OpenVolume(wchar_t letter);

// A disk image file (created when missing, never truncated) with the given geometry.
std::unique_ptr<SectorDevice> OpenImageFile(const QString &path, const DiskGeometry &geometry);

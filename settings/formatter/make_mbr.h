// MakeMBR: turns the card into the physical disk that holds it, refuses every disk that must
// not be touched, and rebuilds the card's partition table and FAT32 volume start. Each side of
// the platform layer has its own (platform/windows/make_mbr.cpp with the Windows disk calls,
// platform/linux/make_mbr.cpp on the block devices); the guards and codes are the same.
#pragma once

#include "formatter/fat32_builder.h"
#include "formatter/format_profile.h"
#include "platform/card.h"

#include <QString>

// Result 0 or one of the codes of fat32_builder.h; cardRoot is the card root or a folder on the
// card ("E:/", or on Linux the card folder or its volume device). On Linux the card's file
// system is unmounted for the rebuild and mounted again where it was. context.device is set for
// the run and cleared again.
int MakeMBR(FormatContext &context, const QString &cardRoot, const FormatProfile &profile,
            const CardHost &host);

// The code MakeMBR returns when MakePartitionTable fails.
constexpr int kPartitionTableFailure = ERR_FAIL_FORMAT;

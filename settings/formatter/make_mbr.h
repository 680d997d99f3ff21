// MakeMBR on Linux: turns the card folder into the card's whole disk, refuses every disk that
// must not be touched, and rebuilds the card's partition table and FAT32 volume start.
#pragma once

#include "formatter/card_discovery.h"
#include "formatter/fat32_builder.h"
#include "formatter/format_profile.h"

#include <QString>

// Result 0 or one of the codes of fat32_builder.h. The card's file system is unmounted for the
// rebuild and mounted again where it was; context.device is set for the run and cleared again.
int MakeMBR(FormatContext &context, const QString &cardFolder, const FormatProfile &profile, const CardHost &host);

// The code MakeMBR returns when MakePartitionTable fails.
constexpr int kPartitionTableFailure = ERR_FAIL_FORMAT;

// The whole builder run on a device the way MakeMBR runs it, for the builder's tests.
#pragma once

#include "formatter/fat32_builder.h"

class QObject;

inline int BuildCard(SectorDevice &device, FormatLayout &layout, QObject *window = nullptr,
                     ProgressScale scale = ProgressScale::From10)
{
    FormatContext c;
    c.device = &device;
    c.window = window;
    c.scale = scale;
    if (!MakePartitionTable(c, layout))
        return -1;
    const Sector boot = MakeBPB32Structure(layout);
    c.progressTotal = PlanSectorCount(layout);
    return WriteFAT32Area(c, boot);
}

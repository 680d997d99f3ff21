// An in-memory card for the builder's tests, with faults that can be switched on per sector.
#pragma once

#include "formatter/fat32_builder.h"

#include <map>
#include <set>
#include <vector>

class MemoryDevice : public SectorDevice
{
public:
    explicit MemoryDevice(uint64_t sectors, DiskGeometry geometry = {255, 63})
        : m_sectors(sectors), m_geometry(geometry)
    {}

    bool ReadSector(uint32_t lba, Sector &out) override
    {
        ++reads;
        auto it = data.find(lba);
        out = it == data.end() ? Sector{} : it->second;
        auto bad = corruptReads.find(lba);
        if (bad != corruptReads.end() && bad->second > 0) {
            --bad->second;
            out[100] ^= 0x5A;
        }
        return true;
    }
    bool Flush() override
    {
        ++flushes;
        return true;
    }
    uint64_t SectorCount() override { return m_sectors; }
    bool Geometry(DiskGeometry &g) override
    {
        g = m_geometry;
        return true;
    }

    std::map<uint32_t, Sector> data;
    std::map<uint32_t, int> writeAttempts;
    std::map<uint32_t, int> corruptReads; // reads of a sector come back altered this many times
    std::set<uint32_t> refusedLbas;       // writes of these fail ...
    int refusalsLeft = 0;                 // ... this many times (or for ever when negative)
    int reads = 0;
    int flushes = 0;
    std::vector<uint32_t> writeOrder;

protected:
    bool WriteOnce(uint32_t lba, const Sector &d) override
    {
        ++writeAttempts[lba];
        if (refusedLbas.count(lba) && refusalsLeft != 0) {
            if (refusalsLeft > 0)
                --refusalsLeft;
            return false;
        }
        data[lba] = d;
        writeOrder.push_back(lba);
        return true;
    }

private:
    uint64_t m_sectors;
    DiskGeometry m_geometry;
};

#include "formatter/card_decision.h"

bool IsMemoryCard(const DiskFacts &disk)
{
    if (!disk.hasDevice)
        return false;
    if (disk.removable)
        return true;
    return disk.bus == "mmc" && disk.mmcType == "SD";
}

// Logs a few messages through the tool's debug log and ends; the platform tests read them back
// as the system delivers them to whoever watches the debug output.
#include "file/debug_log.h"

int main()
{
    DebugLog(QStringLiteral("\n\nRoadlog Setting loading...\n"));
    DebugLog(QStringLiteral("Setting Dialog Init Start"));
    DebugLogF("TimeZone [%s] Bias[%d]\n", "Korea Standard Time", 540);
    DebugLog(QStringLiteral("MBR 있음\n"));
    return 0;
}

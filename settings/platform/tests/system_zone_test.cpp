// The Linux side's current zone: the system's IANA zone (TZ) mapped to its Windows key.
#include "builds/model_profile.h"
#include "file/debug_log.h"
#include "locale/time_zones.h"
#include "platform/linux/system_zone.h"

#include <gtest/gtest.h>

namespace {

// The system's zone, through TZ.
class SystemZone : public ::testing::TestWithParam<std::pair<const char *, const char *>>
{};

TEST_P(SystemZone, MapsTheIanaZoneToItsWindowsKey)
{
    const QByteArray old = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", GetParam().first);
    const QString key = SystemTimeZoneKey(ShippedTimeZoneDatabase());
    const CurrentTimeZone pc = SystemCurrentTimeZone(ShippedTimeZoneDatabase());
    if (had)
        qputenv("TZ", old);
    else
        qunsetenv("TZ");
    EXPECT_EQ(key, GetParam().second);
    DebugLogCapture log;
    const CTimeZoneInfoManager m(ShippedTimeZoneDatabase(), K420_Setting, pc);
    EXPECT_EQ(m.zone(m.FindCurrentZone()).keyName, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, SystemZone,
    ::testing::Values(std::make_pair("Asia/Seoul", "Korea Standard Time"),
                      std::make_pair("America/Los_Angeles", "Pacific Standard Time"),
                      std::make_pair("America/Tijuana", "Pacific Standard Time (Mexico)"),
                      std::make_pair("Asia/Kolkata", "India Standard Time"),
                      std::make_pair("Europe/Kyiv", "FLE Standard Time"),
                      std::make_pair("Europe/Paris", "Romance Standard Time")));

} // namespace

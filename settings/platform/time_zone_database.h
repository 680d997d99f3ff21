// The Windows time zone database as the platform hands it over: registry keys under
// kTimeZonesKey with their "TZI" values, and the PC's current zone. On Linux the database is the
// copy shipped with the program; the time zone catalogue (locale/time_zones.h) is built from it.
#pragma once

#include "platform/registry_text.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// SYSTEMTIME as it appears in "TZI": month, day of week and week of the month (5 = last) of a
// yearly rule when year is 0.
struct TzDate {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// The 44-byte "TZI" value.
struct TziValue {
    int32_t bias; // minutes west of UTC, as Windows stores it
    int32_t standardBias;
    int32_t daylightBias;
    TzDate standardDate;
    TzDate daylightDate;
};
constexpr int kTziSize = 44;

// "TZI" bytes into the record; shorter data leaves the rest zero.
TziValue DecodeTzi(const QByteArray &data);

// What GetTimeZoneInformation tells about the PC's zone.
struct CurrentTimeZone {
    int32_t bias = 0; // minutes west of UTC
    int32_t standardBias = 0;
    QString standardName;
};

// The registry path of the time zone database, and the copy of it shipped with the program
// (subkey paths are this path followed by a backslash and the zone's key name). The PC's own
// database and zone come from the platform (platform/platform.h).
extern const char kTimeZonesKey[];
QList<RegistryKey> ShippedTimeZoneDatabase();

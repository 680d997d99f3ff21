// The time zones the PC knows, as the Common tab offers them: the Windows time zone database
// (on Linux shipped with the program as a registry export), a fixed list of zones dropped, the
// rest sorted east to west.
#pragma once

#include "locale/registry_text.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

struct CameraSettings;

// What differs between the camera models in the catalogue; the model profile
// (builds/model_profile.h) is one.
struct ZoneProfile {
    // FindZone with a name falls back to the first zone of the same bias.
    bool findZoneFallsBackToBias;
};

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

class CRegTimeZoneInfo
{
  public:
    QString keyName;
    QString displayName;      // "Display"
    QString standardName;     // "Std"
    int32_t bias = 0;         // minutes east of UTC of standard time (the negated TZI Bias)
    int32_t standardBias = 0; // as stored
    int32_t daylightBias = 0; // the negated TZI DaylightBias
    TzDate standardDate = {};
    TzDate daylightDate = {};
};

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

class CTimeZoneInfoManager
{
  public:
    // Loads the catalogue from database: subkeys of kTimeZonesKey in their order, exclusion,
    // values, sort.
    CTimeZoneInfoManager(const QList<RegistryKey> &database, const ZoneProfile &model,
                         const CurrentTimeZone &current);
    // The PC's database and its own zone.
    explicit CTimeZoneInfoManager(const ZoneProfile &model);

    int count() const { return int(m_zones.size()); }
    const CRegTimeZoneInfo &zone(int index) const { return *m_zones[size_t(index)]; }
    QString displayName(int index) const { return zone(index).displayName; }
    const QStringList &keyNames() const { return m_keyNames; }

    int FindZone(const QString &name, int32_t bias) const;
    int FindCurrentZone() const;
    // Writes the zone's key name and bias into the record. Refused (false, record unchanged)
    // for an index out of range or a key name that timeZoneName cannot hold.
    bool StoreZone(int index, CameraSettings &settings) const;

    // The zone the Common tab shows for the record, storing the PC's zone into a record
    // without one. -1 with an empty catalogue.
    int ChooseStoredZone(CameraSettings &settings) const;
    // The user picked a zone in the list.
    void PickZone(int index, CameraSettings &settings) const;

  private:
    void load(const QList<RegistryKey> &database);

    const ZoneProfile &m_model;
    CurrentTimeZone m_current;
    QStringList m_keyNames;
    std::vector<std::unique_ptr<CRegTimeZoneInfo>> m_zones;
};

extern const char *const kExcludedZonePrefixes[17];

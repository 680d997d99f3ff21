// The time zones the PC knows, as the Common tab offers them: the Windows time zone database
// (on Linux shipped with the program as a registry export), a fixed list of zones dropped, the
// rest sorted east to west.
#pragma once

#include "platform/time_zone_database.h"

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

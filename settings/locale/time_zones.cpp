#include "locale/time_zones.h"

#include "file/ansi_text.h"
#include "file/camera_settings.h"
#include "file/debug_log.h"
#include "platform/platform.h"

#include <QFile>

#include <algorithm>
#include <cstring>

const char *const kExcludedZonePrefixes[17] = {
    "Argentina", "Armenian", "Bahia",     "Bangladesh", "Jordan",      "Kaliningrad",
    "Kamchatka", "Magadan",  "Mauritius", "Mexico",     "Middle East", "Montevideo",
    "Morocco",   "Syria",    "Turkey",    "UTC",        "Venezuela",
};

namespace {
// Buffers the database is read with: key names of up to 254 characters, "TZI" into 44 bytes,
// every other value into 512 bytes. A value that does not fit is not read.
constexpr int kMaxKeyName = 254;
constexpr int kValueBuffer = 512;

bool Excluded(const QString &keyName)
{
    for (const char *prefix : kExcludedZonePrefixes) {
        if (keyName.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

CTimeZoneInfoManager::CTimeZoneInfoManager(const QList<RegistryKey> &database,
                                           const ZoneProfile &model, const CurrentTimeZone &current)
    : m_model(model), m_current(current)
{
    load(database);
}

CTimeZoneInfoManager::CTimeZoneInfoManager(const ZoneProfile &model) : m_model(model)
{
    const QList<RegistryKey> database = platform::TimeZoneDatabase();
    m_current = platform::CurrentZone(database);
    load(database);
}

void CTimeZoneInfoManager::load(const QList<RegistryKey> &database)
{
    // 1. The subkeys of the database in enumeration order (file order here).
    const QString prefix = QLatin1String(kTimeZonesKey) + '\\';
    QList<const RegistryKey *> subkeys;
    for (const RegistryKey &key : database) {
        if (!key.path.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString name = key.path.mid(prefix.size());
        // Deeper keys ("Dynamic DST") are not zones; a name the enumeration buffer cannot
        // hold, or one seen before, is no entry of its own.
        if (name.isEmpty() || name.contains('\\') || name.size() > kMaxKeyName ||
            m_keyNames.contains(name, Qt::CaseInsensitive))
            continue;
        m_keyNames.append(name);
        subkeys.append(&key);
    }
    // 2. Exclusion.
    QList<const RegistryKey *> kept;
    QStringList keptNames;
    for (qsizetype i = 0; i < m_keyNames.size(); ++i) {
        if (Excluded(m_keyNames[i]))
            continue;
        keptNames.append(m_keyNames[i]);
        kept.append(subkeys[i]);
    }
    m_keyNames = keptNames;
    // 3. Values.
    for (qsizetype i = 0; i < kept.size(); ++i) {
        auto zone = std::make_unique<CRegTimeZoneInfo>();
        for (const RegistryValue &value : kept[i]->values) {
            const QByteArray bytes = RegistryValueBytes(value);
            if (value.name.compare(QLatin1String("TZI"), Qt::CaseInsensitive) == 0) {
                if (bytes.size() > kTziSize)
                    continue;
                const TziValue tzi = DecodeTzi(bytes);
                zone->bias = -tzi.bias;
                zone->standardBias = tzi.standardBias;
                zone->daylightBias = -tzi.daylightBias;
                zone->standardDate = tzi.standardDate;
                zone->daylightDate = tzi.daylightDate;
                continue;
            }
            if (bytes.size() > kValueBuffer)
                continue;
            if (value.name == QLatin1String("Display"))
                zone->displayName = RegistryValueText(value);
            else if (value.name == QLatin1String("Std"))
                zone->standardName = RegistryValueText(value);
        }
        zone->keyName = keptNames[i];
        m_zones.push_back(std::move(zone));
    }
    // 4. East first; equal offsets by standard name in 16-bit code units.
    std::stable_sort(m_zones.begin(), m_zones.end(), [](const auto &a, const auto &b) {
        if (a->bias != b->bias)
            return a->bias > b->bias;
        return QString::compare(a->standardName, b->standardName, Qt::CaseSensitive) < 0;
    });
}

int CTimeZoneInfoManager::FindZone(const QString &name, int32_t bias) const
{
    const auto firstWithBias = [&] {
        for (int i = 0; i < count(); ++i) {
            if (m_zones[size_t(i)]->bias == bias)
                return i;
        }
        return -1;
    };
    if (name.isEmpty())
        return firstWithBias();
    for (int i = 0; i < count(); ++i) {
        if (m_zones[size_t(i)]->keyName == name && m_zones[size_t(i)]->bias == bias)
            return i;
    }
    return m_model.findZoneFallsBackToBias ? firstWithBias() : -1;
}

int CTimeZoneInfoManager::FindCurrentZone() const
{
    for (int i = 0; i < count(); ++i) {
        const CRegTimeZoneInfo &z = *m_zones[size_t(i)];
        if (z.bias == -m_current.bias && z.standardBias == m_current.standardBias &&
            z.standardName == m_current.standardName)
            return i;
    }
    return 0;
}

bool CTimeZoneInfoManager::StoreZone(int index, CameraSettings &settings) const
{
    if (index < 0 || index >= count())
        return false;
    const CRegTimeZoneInfo &z = *m_zones[size_t(index)];
    const QByteArray name = WideToAnsi(z.keyName);
    // timeZoneName holds 31 characters and its NUL; a cut name would name another zone.
    if (name.size() >= qsizetype(sizeof settings.timeZoneName))
        return false;
    std::memset(settings.timeZoneName, 0, sizeof settings.timeZoneName);
    std::memcpy(settings.timeZoneName, name.constData(), size_t(name.size()));
    settings.timeZoneBias = z.bias;
    return true;
}

int CTimeZoneInfoManager::ChooseStoredZone(CameraSettings &settings) const
{
    const QString name = SettingsText(settings.timeZoneName, sizeof settings.timeZoneName);
    DebugLogF("TimeZone Read  [%s] Bias[%d]\n", name.toUtf8().constData(), settings.timeZoneBias);
    if (count() == 0)
        return -1;
    if (!name.isEmpty() || settings.timeZoneBias != 0) {
        const int index = FindZone(name, settings.timeZoneBias);
        return index >= 0 ? index : FindCurrentZone();
    }
    const int index = FindCurrentZone();
    StoreZone(index, settings);
    return index;
}

void CTimeZoneInfoManager::PickZone(int index, CameraSettings &settings) const
{
    if (!StoreZone(index, settings))
        return;
    const CRegTimeZoneInfo &z = *m_zones[size_t(index)];
    DebugLogF("TimeZone [%s] Bias[%d]\n", z.keyName.toUtf8().constData(), z.bias);
}

#include "platform/linux/system_zone.h"

#include "platform/platform.h"
#include "platform/time_zone_database.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>

namespace {
QString ZoneInfoDir()
{
    const QString dir = qEnvironmentVariable("TZDIR");
    return dir.isEmpty() ? QStringLiteral("/usr/share/zoneinfo") : dir;
}

QByteArray ZoneFile(const QByteArray &ianaId)
{
    if (ianaId.isEmpty() || ianaId.contains(".."))
        return QByteArray();
    QFile file(ZoneInfoDir() + '/' + QString::fromLatin1(ianaId));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

QString SystemTimeZoneKey(const QList<RegistryKey> &database)
{
    const QByteArray iana = QTimeZone::systemTimeZoneId();
    const QByteArray key = QTimeZone::ianaIdToWindowsId(iana);
    if (!key.isEmpty())
        return QString::fromLatin1(key);
    // Qt's table knows renamed zones by their old names (Asia/Calcutta for Asia/Kolkata); the
    // system keeps both names for one zone file.
    const QByteArray mine = ZoneFile(iana);
    if (mine.isEmpty())
        return QString();
    const QString prefix = QLatin1String(kTimeZonesKey) + '\\';
    for (const RegistryKey &entry : database) {
        if (!entry.path.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString name = entry.path.mid(prefix.size());
        for (const QByteArray &id : QTimeZone::windowsIdToIanaIds(name.toLatin1())) {
            if (ZoneFile(id) == mine)
                return name;
        }
    }
    return QString();
}

CurrentTimeZone SystemCurrentTimeZone(const QList<RegistryKey> &database)
{
    CurrentTimeZone current;
    const QString key = SystemTimeZoneKey(database);
    const RegistryKey *entry =
        key.isEmpty() ? nullptr
                      : FindRegistryKey(database, QLatin1String(kTimeZonesKey) + '\\' + key);
    if (entry) {
        if (const RegistryValue *tzi = entry->value(QStringLiteral("TZI"))) {
            const TziValue v = DecodeTzi(RegistryValueBytes(*tzi));
            current.bias = v.bias;
            current.standardBias = v.standardBias;
        }
        if (const RegistryValue *std = entry->value(QStringLiteral("Std")))
            current.standardName = RegistryValueText(*std);
        return current;
    }
    // A zone the database does not know: what the system says, which matches no entry.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    current.bias = -zone.standardTimeOffset(now) / 60;
    current.standardName = zone.displayName(QTimeZone::StandardTime, QTimeZone::LongName);
    return current;
}

namespace platform {
QList<RegistryKey> TimeZoneDatabase()
{
    return ShippedTimeZoneDatabase();
}

CurrentTimeZone CurrentZone(const QList<RegistryKey> &database)
{
    return SystemCurrentTimeZone(database);
}
} // namespace platform

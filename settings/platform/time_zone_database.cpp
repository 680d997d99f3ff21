#include "platform/time_zone_database.h"

#include <QFile>

#include <algorithm>
#include <cstring>

const char kTimeZonesKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

namespace {
uint16_t U16(const uchar *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

int32_t I32(const uchar *p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

TzDate DecodeDate(const uchar *p)
{
    return TzDate{U16(p),     U16(p + 2),  U16(p + 4),  U16(p + 6),
                  U16(p + 8), U16(p + 10), U16(p + 12), U16(p + 14)};
}

} // namespace

TziValue DecodeTzi(const QByteArray &data)
{
    uchar raw[kTziSize] = {};
    std::memcpy(raw, data.constData(), size_t(std::min<qsizetype>(data.size(), kTziSize)));
    TziValue tzi;
    tzi.bias = I32(raw);
    tzi.standardBias = I32(raw + 4);
    tzi.daylightBias = I32(raw + 8);
    tzi.standardDate = DecodeDate(raw + 12);
    tzi.daylightDate = DecodeDate(raw + 28);
    return tzi;
}

QList<RegistryKey> ShippedTimeZoneDatabase()
{
    static const QList<RegistryKey> database = [] {
        Q_INIT_RESOURCE(timezones);
        QFile file(QStringLiteral(":/timezones/timezones.reg"));
        return file.open(QIODevice::ReadOnly) ? ParseRegistryText(file.readAll())
                                              : QList<RegistryKey>();
    }();
    return database;
}

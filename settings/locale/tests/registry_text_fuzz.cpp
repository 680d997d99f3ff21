// The registry text reader on arbitrary bytes: a Wine prefix's system.reg comes from outside the
// program. What it reads then goes through the time zone catalogue's loading.
#include "builds/model_profile.h"
#include "file/debug_log.h"
#include "locale/time_zones.h"
#include "platform/registry_text.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DebugLogCapture log;
    const QList<RegistryKey> keys =
        ParseRegistryText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const RegistryKey &key : keys)
        (void)key.value(QStringLiteral("LANGUAGE"));
    // The same bytes as the body of a zone key of the time zone database.
    const QByteArray zoneText = QByteArray("[") + kTimeZonesKey + "\\" +
                                QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    const CTimeZoneInfoManager zones(ParseRegistryText(zoneText), K420_Setting, CurrentTimeZone());
    (void)zones.FindZone(QStringLiteral("Pacific Standard Time"), -480);
    (void)zones.FindCurrentZone();
    return 0;
}

// The Linux side's time zones: the database is the one shipped with the program, the PC's zone
// is the system's IANA zone mapped to its Windows key.
#pragma once

#include "platform/registry_text.h"

#include <QList>
#include <QString>

struct CurrentTimeZone;

// The key name in database of the PC's zone: the IANA zone of TZ or /etc/localtime, mapped by
// Qt's table (old and new IANA names both work). Empty when there is no mapping.
QString SystemTimeZoneKey(const QList<RegistryKey> &database);

// The PC's zone as Windows would report it, looked up in database by SystemTimeZoneKey().
CurrentTimeZone SystemCurrentTimeZone(const QList<RegistryKey> &database);

#include "platform/platform.h"
#include "platform/time_zone_database.h"

#include <windows.h>

#include <vector>

namespace {
const wchar_t kDatabaseKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

QString FromWide(const wchar_t *text, qsizetype length)
{
    return QString::fromWCharArray(text, length);
}

// One value as the registry holds it: strings without their NUL, everything else as bytes.
RegistryValue ReadValue(const QString &name, DWORD type, const std::vector<BYTE> &data)
{
    RegistryValue v;
    v.name = name;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        v.type = RegistryValue::String;
        const auto *text = reinterpret_cast<const wchar_t *>(data.data());
        qsizetype length = qsizetype(data.size() / sizeof(wchar_t));
        while (length > 0 && text[length - 1] == 0)
            --length;
        v.text = FromWide(text, length);
    } else {
        v.type = type == REG_DWORD ? RegistryValue::Dword : RegistryValue::Binary;
        v.data = QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
    }
    return v;
}

QList<RegistryValue> ReadValues(HKEY zone)
{
    QList<RegistryValue> values;
    for (DWORD i = 0;; ++i) {
        std::vector<wchar_t> name(16383);
        DWORD nameLength = DWORD(name.size());
        DWORD type = 0;
        DWORD size = 0;
        const LONG rc =
            RegEnumValueW(zone, i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        std::vector<BYTE> data(size);
        const QString valueName = FromWide(name.data(), nameLength);
        if (RegQueryValueExW(zone, name.data(), nullptr, &type,
                             data.empty() ? nullptr : data.data(), &size) != ERROR_SUCCESS)
            continue;
        data.resize(size);
        values.append(ReadValue(valueName, type, data));
    }
    return values;
}
} // namespace

namespace {
QList<RegistryKey> ReadDatabase()
{
    QList<RegistryKey> database;
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDatabaseKey, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return database;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        subkeys = 0;
    for (DWORD i = 0; i < subkeys; ++i) {
        wchar_t name[255];
        DWORD length = 255;
        // A name that does not fit, or an entry that cannot be read, is skipped.
        if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        RegistryKey key;
        key.path = QLatin1String(kTimeZonesKey) + QLatin1Char('\\') + FromWide(name, length);
        HKEY zone = nullptr;
        if (RegOpenKeyExW(root, name, 0, KEY_READ, &zone) == ERROR_SUCCESS) {
            key.values = ReadValues(zone);
            RegCloseKey(zone);
        }
        database.append(key);
    }
    RegCloseKey(root);
    return database;
}
} // namespace

QList<RegistryKey> platform::TimeZoneDatabase()
{
    // Read once: the tool builds its catalogue once a run, and some thousand registry reads
    // are not free (under Wine each one asks its server).
    static const QList<RegistryKey> database = ReadDatabase();
    return database;
}

CurrentTimeZone platform::CurrentZone(const QList<RegistryKey> &)
{
    TIME_ZONE_INFORMATION info = {};
    CurrentTimeZone current;
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID)
        return current;
    current.bias = info.Bias;
    current.standardBias = info.StandardBias;
    current.standardName = QString::fromWCharArray(
        info.StandardName, qsizetype(wcsnlen(info.StandardName, ARRAYSIZE(info.StandardName))));
    return current;
}

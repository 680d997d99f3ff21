// Registry contents kept as text: Wine's registry files (system.reg of a Wine prefix) and
// regedit exports (.reg), which share one syntax: "[key path]" lines followed by
// "name"=value lines (strings, dword:, hex:, hex(n):, str(n):).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct RegistryValue {
    enum Type { String, Dword, Binary };
    QString name; // empty for the default value "@"
    Type type = String;
    QString text;    // String
    QByteArray data; // Binary (and Dword as 4 little-endian bytes)
};

struct RegistryKey {
    QString path; // components separated by single backslashes
    QList<RegistryValue> values;

    // Value by name, compared without regard to case as the registry does; null when absent.
    const RegistryValue *value(const QString &name) const;
};

// Keys in file order. UTF-16LE with byte order mark or UTF-8. Lines that fit no rule are
// skipped; a key that occurs twice keeps both entries.
QList<RegistryKey> ParseRegistryText(const QByteArray &bytes);

// The first key whose path equals path, ignoring case; null when there is none.
const RegistryKey *FindRegistryKey(const QList<RegistryKey> &keys, const QString &path);

// The bytes RegQueryValueExW hands back for a value: a string as UTF-16LE with its NUL.
QByteArray RegistryValueBytes(const RegistryValue &value);
// A string value's text; empty for any other type.
QString RegistryValueText(const RegistryValue &value);

#include "platform/registry_text.h"

#include <QStringList>

namespace {
int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A quoted string starting at pos (the opening quote); on success pos is after the closing one.
bool ParseString(const QString &s, qsizetype &pos, QString *out)
{
    out->clear();
    for (qsizetype i = pos + 1; i < s.size(); ++i) {
        QChar c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            c = s[++i];
            switch (c.unicode()) {
            case 'n':
                out->append('\n');
                break;
            case 'r':
                out->append('\r');
                break;
            case 't':
                out->append('\t');
                break;
            case '0':
                out->append(QChar(0));
                break;
            case 'x': { // Wine writes characters outside ASCII as \x and up to 4 hex digits
                char16_t u = 0;
                int n = 0;
                while (n < 4 && i + 1 < s.size() && HexDigit(s[i + 1]) >= 0) {
                    u = char16_t(u * 16 + HexDigit(s[++i]));
                    ++n;
                }
                out->append(QChar(u));
                break;
            }
            default:
                out->append(c);
                break;
            }
            continue;
        }
        out->append(c);
    }
    return false;
}

bool ParseHexList(const QString &s, QByteArray *out)
{
    out->clear();
    const QStringList parts = s.split(',', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString p = part.trimmed();
        if (p.isEmpty())
            continue;
        bool ok = false;
        const uint b = p.toUInt(&ok, 16);
        if (!ok || b > 0xFF)
            return false;
        out->append(char(b));
    }
    return true;
}

QString Utf16FromBytes(const QByteArray &data)
{
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t u = char16_t(uchar(data[i]) | uchar(data[i + 1]) << 8);
        if (u == 0)
            break;
        text.append(QChar(u));
    }
    return text;
}

bool ParseValue(const QString &line, RegistryValue *value)
{
    qsizetype pos = 0;
    if (line.startsWith('@')) {
        pos = 1;
    } else if (!ParseString(line, pos, &value->name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=')
        return false;
    const QString rest = line.mid(pos + 1).trimmed();
    if (rest.startsWith('"')) {
        qsizetype p = 0;
        value->type = RegistryValue::String;
        return ParseString(rest, p, &value->text);
    }
    if (rest.startsWith(QLatin1String("str(")) || rest.startsWith(QLatin1String("str:"))) {
        qsizetype quote = rest.indexOf('"');
        value->type = RegistryValue::String;
        return quote >= 0 && ParseString(rest, quote, &value->text);
    }
    if (rest.startsWith(QLatin1String("dword:"))) {
        bool ok = false;
        const quint32 v = rest.mid(6).trimmed().toUInt(&ok, 16);
        if (!ok)
            return false;
        value->type = RegistryValue::Dword;
        value->data = QByteArray(4, 0);
        for (int i = 0; i < 4; ++i)
            value->data[i] = char(v >> (8 * i));
        return true;
    }
    if (rest.startsWith(QLatin1String("hex"))) {
        const qsizetype colon = rest.indexOf(':');
        if (colon < 0 || !ParseHexList(rest.mid(colon + 1), &value->data))
            return false;
        const QString kind = rest.left(colon);
        // hex(2) and hex(1) hold UTF-16 strings (expandable and plain).
        if (kind == QLatin1String("hex(1)") || kind == QLatin1String("hex(2)")) {
            value->type = RegistryValue::String;
            value->text = Utf16FromBytes(value->data);
        } else {
            value->type = RegistryValue::Binary;
        }
        return true;
    }
    return false;
}
} // namespace

const RegistryValue *RegistryKey::value(const QString &name) const
{
    for (const RegistryValue &v : values) {
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    }
    return nullptr;
}

QList<RegistryKey> ParseRegistryText(const QByteArray &bytes)
{
    QString text;
    if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE)
        text = Utf16FromBytes(bytes.mid(2) + QByteArray(2, 0));
    else
        text = QString::fromUtf8(bytes);
    text.remove('\r');

    QList<RegistryKey> keys;
    RegistryKey *current = nullptr;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        // hex lists continue over lines ending in a backslash
        while (line.endsWith('\\') && !line.startsWith('[') && i + 1 < lines.size())
            line = line.chopped(1) + lines[++i].trimmed();
        if (line.startsWith('[')) {
            const qsizetype close = line.lastIndexOf(']');
            if (close < 0) {
                current = nullptr;
                continue;
            }
            // Wine doubles the separators of a key path; regedit does not.
            QString path = line.mid(1, close - 1);
            path.replace(QLatin1String("\\\\"), QLatin1String("\\"));
            keys.append(RegistryKey{path, {}});
            current = &keys.last();
            continue;
        }
        if (!current || !(line.startsWith('"') || line.startsWith('@')))
            continue;
        RegistryValue value;
        if (ParseValue(line, &value))
            current->values.append(value);
    }
    return keys;
}

const RegistryKey *FindRegistryKey(const QList<RegistryKey> &keys, const QString &path)
{
    for (const RegistryKey &key : keys) {
        if (key.path.compare(path, Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

QByteArray RegistryValueBytes(const RegistryValue &value)
{
    if (value.type != RegistryValue::String)
        return value.data;
    QByteArray bytes;
    for (QChar c : value.text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes + QByteArray(2, 0);
}

QString RegistryValueText(const RegistryValue &value)
{
    return value.type == RegistryValue::String ? value.text : QString();
}

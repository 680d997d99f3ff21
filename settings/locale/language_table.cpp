#include "locale/language_table.h"

#include "file/ansi_text.h"
#include "file/debug_log.h"

#include <QStringList>

namespace {
bool IsQuote(QChar c)
{
    return c == '"' || c == '\'';
}

bool IsBlank(QChar c)
{
    return c == ' ' || c == '\t';
}

// Parses "key = value" into key and value; false when the line is to be ignored.
bool ParseKeyLine(const QString &line, QString *key, QString *value)
{
    qsizetype pos = 0;
    if (IsQuote(line[0])) {
        const qsizetype close = line.indexOf(line[0], 1);
        if (close < 0)
            return false;
        *key = line.mid(1, close - 1);
        pos = close + 1;
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return false;
    } else {
        pos = line.indexOf('=');
        *key = line.left(pos).trimmed();
    }
    if (key->isEmpty())
        return false;
    ++pos; // the equals sign
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos < line.size() && IsQuote(line[pos])) {
        const qsizetype close = line.indexOf(line[pos], pos + 1);
        *value = close < 0 ? line.mid(pos + 1) : line.mid(pos + 1, close - pos - 1);
    } else {
        const qsizetype semicolon = line.indexOf(';', pos);
        *value = (semicolon < 0 ? line.mid(pos) : line.mid(pos, semicolon - pos)).trimmed();
    }
    return true;
}
} // namespace

bool LanguageTable::parse(const QByteArray &bytes)
{
    clear();
    if (bytes.size() < 2)
        return false;
    QString text;
    if (uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) {
        const qsizetype chars = (bytes.size() - 2) / 2;
        text.resize(chars);
        for (qsizetype i = 0; i < chars; ++i) {
            const uchar lo = uchar(bytes[2 + 2 * i]);
            const uchar hi = uchar(bytes[3 + 2 * i]);
            text[i] = QChar(char16_t(lo | hi << 8));
        }
    } else {
        text = AnsiToWide(bytes.constData(), bytes.size());
    }
    parseText(text);
    return true;
}

void LanguageTable::parseText(const QString &source)
{
    QString text = source;
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    text.remove('\r');

    Section *current = nullptr;
    const QStringList lines = text.split('\n');
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty()) {
                current = nullptr; // "[]" closes the section
                continue;
            }
            Section &section = m_sections[name.toCaseFolded()];
            if (section.name.isEmpty())
                section.name = name;
            current = &section;
            continue;
        }
        if (!current || line.front() == ';')
            continue;
        if (line.contains('=')) {
            QString key, value;
            if (!ParseKeyLine(line, &key, &value))
                continue;
            current->values.insert(key.toCaseFolded(), value);
            DebugLogF("[%s] = \"%s\"\n", key.toUtf8().constData(), value.toUtf8().constData());
        } else {
            current->values.insert(line.toCaseFolded(), QString());
        }
    }
}

bool LanguageTable::hasSection(const QString &section) const
{
    return m_sections.contains(section.toCaseFolded());
}

QString LanguageTable::value(const QString &section, const QString &key, bool *found) const
{
    const auto s = m_sections.constFind(section.toCaseFolded());
    if (s != m_sections.constEnd()) {
        const auto v = s->values.constFind(key.toCaseFolded());
        if (v != s->values.constEnd()) {
            if (found)
                *found = true;
            return *v;
        }
    }
    if (found)
        *found = false;
    return QString();
}

int LanguageTable::keyCount(const QString &section) const
{
    const auto s = m_sections.constFind(section.toCaseFolded());
    return s == m_sections.constEnd() ? 0 : int(s->values.size());
}

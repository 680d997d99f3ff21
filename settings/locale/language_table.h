// One parsed language table: INI-like text of sections and key = value lines, keys and section
// names compared without regard to letter case.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

class LanguageTable
{
public:
    // Replaces the contents with the table in bytes: UTF-16LE after an FF FE byte order mark,
    // otherwise the ANSI code page up to the first NUL. Fewer than 2 bytes parse nothing and
    // give false. Every stored key line is written to the debug log.
    bool parse(const QByteArray &bytes);
    void parseText(const QString &text);
    void clear() { m_sections.clear(); }

    bool hasSection(const QString &section) const;
    // The value of key in section; found is set to whether the key exists.
    QString value(const QString &section, const QString &key, bool *found = nullptr) const;
    int keyCount(const QString &section) const;

private:
    struct Section {
        QString name;
        QHash<QString, QString> values; // case-folded key -> value
    };
    QHash<QString, Section> m_sections; // case-folded name -> section
};

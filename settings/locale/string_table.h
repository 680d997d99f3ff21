// KZ7100_Setting's texts: the program's string table, by number, English only.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The text of number id, or an empty string when the table has none.
QString StringTableText(int id);

// Parses the STRINGTABLE block of a resource script: lines `id "text"` with the resource
// compiler's escapes (\r, \n, \t, \\, \") and "" for a double quote. Malformed lines are skipped.
QMap<int, QString> ParseStringTable(const QByteArray &rcText);

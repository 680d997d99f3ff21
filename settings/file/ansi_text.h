// Text in the "ANSI code page" of the Windows PC: the record's text fields and language tables
// without byte order mark. On Linux this is Windows-1252, whatever the locale says, so that a
// card written on one PC reads the same on another.
#pragma once

#include <QByteArray>
#include <QString>

// Converts up to len bytes, stopping at the first NUL.
QString AnsiToWide(const char *bytes, qsizetype len);

// Characters without a Windows-1252 byte become '?', as WideCharToMultiByte's default character.
QByteArray WideToAnsi(const QString &text);

// Qt's strings as the Windows calls take them: UTF-16 with a terminating NUL, valid as long as
// the string is.
#pragma once

#include <QString>

inline const wchar_t *Wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

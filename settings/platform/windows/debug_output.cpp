#include "platform/platform.h"

#include <windows.h>

void platform::WriteDebugOutput(const QString &message)
{
    OutputDebugStringW(reinterpret_cast<const wchar_t *>(message.utf16()));
}

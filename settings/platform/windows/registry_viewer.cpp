#include "platform/windows/registry_viewer.h"

#include "platform/platform.h"

#include <windows.h>

const wchar_t kViewerRegistryKey[] = L"SOFTWARE\\KESTRAVON\\";

QString RegistryViewerProbe::languageValue() const
{
    // This program is 64-bit; a 32-bit viewer writes through the 32-bit view.
    for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY)}) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kViewerRegistryKey, 0, nullptr, 0, KEY_READ | view,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            continue;
        wchar_t value[130] = {}; // 260 bytes
        DWORD size = sizeof value;
        DWORD type = 0;
        const LONG rc = RegQueryValueExW(key, L"LANGUAGE", nullptr, &type,
                                         reinterpret_cast<BYTE *>(value), &size);
        RegCloseKey(key);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        // Longer than the buffer, or not text: nothing.
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return QString();
        qsizetype length = qsizetype(size / sizeof(wchar_t));
        // The stored string may or may not carry its NUL.
        for (qsizetype i = 0; i < length; ++i) {
            if (value[i] == 0) {
                length = i;
                break;
            }
        }
        return QString::fromWCharArray(value, length);
    }
    return QString();
}

bool RegistryViewerProbe::isRunning() const
{
    const QString title = QString::fromLatin1(kViewerWindowTitle);
    return FindWindowW(nullptr, reinterpret_cast<const wchar_t *>(title.utf16())) != nullptr;
}

const ViewerProbe &platform::Viewer()
{
    static const RegistryViewerProbe registry;
    return registry;
}

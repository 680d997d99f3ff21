// Stands in for fmifs.dll in the Windows tests (Wine has none): FormatEx answers as the system
// formatter does, five structure-progress packets and then the end packet with its success flag,
// and keeps what it was called with. Q7_FMIFS_FAIL=1 in the environment makes the format fail.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {
using Callback = BOOLEAN(WINAPI *)(DWORD type, DWORD action, PVOID data);
wchar_t g_lastCall[256] = L"";
} // namespace

extern "C" __declspec(dllexport) void WINAPI
    FormatEx(PWCHAR root, DWORD mediaType, PWCHAR fileSystem, PWCHAR label, BOOL quick,
             DWORD clusterSize, Callback callback)
{
    swprintf(g_lastCall, 256, L"%ls|%lu|%ls|%ls|%d|%lu", root, mediaType, fileSystem, label,
             int(quick), clusterSize);
    DWORD percent = 0;
    for (int i = 0; i < 5; ++i) {
        percent += 20;
        callback(15, 0, &percent);
    }
    wchar_t fail[8] = {};
    BOOLEAN success = GetEnvironmentVariableW(L"Q7_FMIFS_FAIL", fail, 8) == 0 ? TRUE : FALSE;
    callback(11, 0, &success);
}

// What the last FormatEx was called with: root|media type|file system|label|quick|cluster size.
extern "C" __declspec(dllexport) const wchar_t *StandInLastCall()
{
    return g_lastCall;
}

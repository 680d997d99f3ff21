// Stands in for the program in the relocation test: started, it writes the arguments it
// received (as CommandLineToArgvW splits its command line, as Qt does) and its working folder
// into "started.txt" beside itself, one per line.
#include <windows.h>

#include <shellapi.h>

#include <string>

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring out = self;
    out.resize(out.rfind(L'\\') + 1);
    out += L"started.txt";
    std::wstring text;
    for (int i = 1; i < argc; ++i)
        text += std::wstring(L"argument ") + argv[i] + L"\n";
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    text += std::wstring(L"folder ") + cwd + L"\n";
    // Written under another name and renamed, so that the test never reads half a file.
    const std::wstring part = out + L".part";
    HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
    return MoveFileExW(part.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

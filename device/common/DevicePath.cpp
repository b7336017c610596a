#include "DevicePath.h"

#include "Utf8.h"

#include <devicefiles.h>
#include <devicestart.h>

#include <windows.h>

#include <shellapi.h>

std::vector<std::wstring> ProgramArguments()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv)
        return {};
    std::vector<std::wstring> args(argv + (count > 0 ? 1 : 0), argv + count);
    LocalFree(argv);
    return args;
}

std::wstring DevicePath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    // Only Wine has this entry; on Windows a path starting with '/' stays as it is.
    using ToDosName = LPWSTR(CDECL*)(LPCSTR);
    const auto toDos = reinterpret_cast<ToDosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos)
        return path;
    LPWSTR dos = toDos(Utf8(path).c_str());
    if (!dos)
        return path;
    std::wstring result = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}

std::wstring CommandLineFile(const std::wstring& path, bool writing)
{
    const bool devicePath = path.size() > 1 && path[0] == L'\\' && path[1] != L'\\';
    if (!devicePath && !DeviceStartedByModule())
        return DevicePath(path);
    wchar_t file[MAX_PATH];
    const DWORD length = devicePath ? (writing ? DeviceStorePath : DeviceFilePath)(path.c_str(), file, MAX_PATH) : 0;
    return length ? std::wstring(file, length) : std::wstring();
}

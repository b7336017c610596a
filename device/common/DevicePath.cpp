#include "DevicePath.h"

#include <windows.h>

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
    const int length = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string unixPath(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, unixPath.data(), length, nullptr, nullptr);
    LPWSTR dos = toDos(unixPath.c_str());
    if (!dos)
        return path;
    std::wstring result = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}

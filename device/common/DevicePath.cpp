#include "DevicePath.h"

#include "Utf8.h"

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
    LPWSTR dos = toDos(Utf8(path).c_str());
    if (!dos)
        return path;
    std::wstring result = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}

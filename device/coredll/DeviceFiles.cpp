#include "DeviceFiles.h"

#include <devicefiles.h>

#include <cwchar>

namespace {

constexpr wchar_t kWindowsFolder[] = L"\\windows\\";

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ThisLibraryFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisLibraryFolder), &self);
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    return Folder(std::wstring(path, length));
}

bool Exists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = std::wcslen(prefix);
    return text.size() >= length && CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix,
                                        static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

} // namespace

namespace coredll {

std::wstring DesktopPath(const std::wstring& devicePath)
{
    std::wstring name;
    if (StartsWithNoCase(devicePath, kWindowsFolder))
        name = devicePath.substr(std::wcslen(kWindowsFolder));
    else if (devicePath.find(L'\\') == std::wstring::npos && devicePath.find(L'/') == std::wstring::npos)
        name = devicePath;
    else if (devicePath[0] == L'\\' && (devicePath.size() < 2 || devicePath[1] != L'\\'))
        return L"C:" + devicePath;
    else
        return devicePath;

    const std::wstring beside = ThisLibraryFolder() + name;
    if (Exists(beside))
        return beside;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\" + name;
}

} // namespace coredll

extern "C" DWORD WINAPI DeviceFilePath(LPCWSTR devicePath, LPWSTR desktopPath, DWORD size)
{
    if (!devicePath || !*devicePath)
        return 0;
    const std::wstring path = coredll::DesktopPath(devicePath);
    if (!desktopPath || path.size() + 1 > size)
        return 0;
    std::wmemcpy(desktopPath, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

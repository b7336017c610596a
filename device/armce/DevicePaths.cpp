#include "DevicePaths.h"

#include <devicefiles.h>

#include <windows.h>

#include <cwctype>

namespace armce {

namespace {

constexpr wchar_t kWindowsFolder[] = L"\\Windows\\";

bool Exists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A device path: from the root, each part a plain name.
bool IsDeviceName(const std::wstring& name)
{
    if (name.size() < 2 || name[0] != L'\\' || name[1] == L'\\' || name.back() == L'\\')
        return false;
    for (size_t at = 1; at < name.size();) {
        const size_t end = std::min(name.find(L'\\', at), name.size());
        const std::wstring part = name.substr(at, end - at);
        if (part.empty() || part == L"." || part == L".." || part.back() == L'.' || part.back() == L' ')
            return false;
        for (wchar_t c : part)
            if (c < 0x20 || std::wcschr(L":/*?\"<>|", c))
                return false;
        at = end + 1;
    }
    return true;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = std::wcslen(prefix);
    return text.size() > length &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL;
}

// The device's ROM: the folder of its programs, where its core library lies.
std::wstring RomFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"coredll.dll"), path, MAX_PATH);
    const std::wstring library(path, length);
    return library.substr(0, library.find_last_of(L'\\') + 1);
}

std::wstring StorePath(const std::wstring& name)
{
    wchar_t path[MAX_PATH];
    return DeviceStorePath(name.c_str(), path, MAX_PATH) ? path : std::wstring();
}

} // namespace

bool GuestFilePath(const std::wstring& name, bool writing, std::wstring& path)
{
    if (!IsDeviceName(name))
        return false;
    path = StorePath(name);
    if (path.empty())
        return false;
    if (writing || Exists(path) || !StartsWithNoCase(name, kWindowsFolder))
        return true;
    const std::wstring rom = RomFolder() + name.substr(std::wcslen(kWindowsFolder));
    if (name.find(L'\\', std::wcslen(kWindowsFolder)) == std::wstring::npos && Exists(rom))
        path = rom;
    return true;
}

bool DeviceProgram(const std::wstring& name, std::wstring& path)
{
    const std::wstring device = name.find(L'\\') == std::wstring::npos ? kWindowsFolder + name : name;
    if (!IsDeviceName(device) || !StartsWithNoCase(device, kWindowsFolder))
        return false;
    const std::wstring file = device.substr(std::wcslen(kWindowsFolder));
    if (file.find(L'\\') != std::wstring::npos || file.size() < 5 ||
        CompareStringOrdinal(file.c_str() + file.size() - 4, 4, L".exe", 4, TRUE) != CSTR_EQUAL)
        return false;
    path = RomFolder() + file;
    return Exists(path);
}

} // namespace armce

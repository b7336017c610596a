#include "DeviceFiles.h"

#include "DeviceHive.h"

#include <devicefiles.h>

#include <algorithm>
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

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// The names the desktop takes for its devices wherever they stand in a
// path, as its file system reads them: the part before the first dot, any
// spaces after it left out, whatever the case.
bool IsReserved(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (SameNoCase(stem, reserved))
            return true;
    if (stem.size() != 4 || !(SameNoCase(stem.substr(0, 3), L"COM") || SameNoCase(stem.substr(0, 3), L"LPT")))
        return false;
    const wchar_t digit = stem[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// A device path as written, or a name alone, which stands in the Windows
// folder.
std::wstring FromRoot(const std::wstring& devicePath)
{
    return devicePath.find(L'\\') == std::wstring::npos && devicePath.find(L'/') == std::wstring::npos
               ? L"\\Windows\\" + devicePath
               : devicePath;
}

} // namespace

namespace coredll {

bool IsPlainName(const std::wstring& name)
{
    if (name.empty() || name.size() > MAX_PATH || name == L"." || name == L".." || name.back() == L'.' ||
        name.back() == L' ')
        return false;
    for (wchar_t c : name)
        if (c < 0x20 || c == 0x7F || std::wcschr(L"\\/:*?\"<>|", c))
            return false;
    return !IsReserved(name);
}

bool IsDevicePath(const std::wstring& path)
{
    if (path.size() < 2 || path[0] != L'\\' || path.size() >= MAX_PATH)
        return false;
    for (size_t at = 1; at <= path.size();) {
        const size_t end = std::min(path.find(L'\\', at), path.size());
        if (!IsPlainName(path.substr(at, end - at)))
            return false;
        at = end + 1;
    }
    return true;
}

std::wstring StoreFolder()
{
    wchar_t local[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    std::wstring base;
    if (length > 0 && length < MAX_PATH) {
        base = local;
    } else {
        GetTempPathW(MAX_PATH, local);
        base = local;
        base.pop_back();
    }
    const std::wstring device = DeviceName();
    return base + L"\\MesoluneDevice\\" + (device.empty() ? std::wstring(L"PocketPC") : device);
}

std::wstring StorePath(const std::wstring& devicePath)
{
    // The root folder, or a path from it.
    const std::wstring path = FromRoot(devicePath);
    return path == L"\\" || IsDevicePath(path) ? StoreFolder() + path : std::wstring();
}

std::wstring RomProgram(const std::wstring& devicePath)
{
    const std::wstring path = FromRoot(devicePath);
    if (!IsDevicePath(path) || !StartsWithNoCase(path, kWindowsFolder))
        return std::wstring();
    const std::wstring rom = ThisLibraryFolder() + path.substr(std::wcslen(kWindowsFolder));
    return Exists(rom) ? rom : std::wstring();
}

std::wstring DesktopPath(const std::wstring& devicePath)
{
    // A name of the desktop's own (a drive, a share) is kept, for the
    // device's programs that are given one.
    const std::wstring path = FromRoot(devicePath);
    if (path.empty() || path[0] != L'\\' || (path.size() > 1 && path[1] == L'\\'))
        return path;
    if (!IsDevicePath(path))
        return std::wstring();
    // What is installed lies in the device's store (its RAM), and a file
    // there stands in for the ROM's file of its name, as on a device; the
    // ROM is the folder of the device's programs, where this library lies.
    const std::wstring stored = StoreFolder() + path;
    if (Exists(stored) || !StartsWithNoCase(path, kWindowsFolder))
        return stored;
    const std::wstring rom = ThisLibraryFolder() + path.substr(std::wcslen(kWindowsFolder));
    return Exists(rom) ? rom : stored;
}

} // namespace coredll

namespace {

// A device path's desktop name, as mapped, into the caller's buffer.
DWORD WriteMapped(std::wstring (*map)(const std::wstring&), LPCWSTR devicePath, LPWSTR desktopPath, DWORD size)
{
    if (!devicePath || !*devicePath)
        return 0;
    const std::wstring path = map(devicePath);
    if (!desktopPath || path.size() + 1 > size)
        return 0;
    std::wmemcpy(desktopPath, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

} // namespace

extern "C" BOOL WINAPI DeviceIsPlainName(LPCWSTR name)
{
    return name && coredll::IsPlainName(name);
}

extern "C" BOOL WINAPI DeviceIsDevicePath(LPCWSTR path)
{
    return path && coredll::IsDevicePath(path);
}

extern "C" DWORD WINAPI DeviceFilePath(LPCWSTR devicePath, LPWSTR desktopPath, DWORD size)
{
    return WriteMapped(coredll::DesktopPath, devicePath, desktopPath, size);
}

extern "C" DWORD WINAPI DeviceStorePath(LPCWSTR devicePath, LPWSTR desktopPath, DWORD size)
{
    return WriteMapped(coredll::StorePath, devicePath, desktopPath, size);
}

// Windows CE's CreateFileW takes the device's names.
extern "C" HANDLE WINAPI CeCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
    DWORD disposition, DWORD flags, HANDLE tmpl)
{
    const std::wstring path = name ? coredll::DesktopPath(name) : std::wstring();
    return CreateFileW(name ? path.c_str() : nullptr, access, share, security, disposition, flags, tmpl);
}

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

} // namespace

namespace coredll {

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

// A device path that stays in the device: from the root, no part that leads
// up or out of it.
bool StaysInDevice(const std::wstring& devicePath)
{
    if (devicePath.size() > 1 && devicePath[1] == L'\\')
        return false;
    for (size_t at = devicePath[0] == L'\\' ? 1 : 0; at < devicePath.size();) {
        const size_t end = std::min(devicePath.find(L'\\', at), devicePath.size());
        const std::wstring part = devicePath.substr(at, end - at);
        if (part.empty() || part == L"." || part == L".." || part.find_first_of(L":/") != std::wstring::npos)
            return false;
        at = end + 1;
    }
    return true;
}

std::wstring StorePath(const std::wstring& devicePath)
{
    if (devicePath.empty() || !StaysInDevice(devicePath))
        return std::wstring();
    if (devicePath[0] != L'\\')
        return StoreFolder() + L"\\Windows\\" + devicePath;
    return StoreFolder() + devicePath;
}

std::wstring DesktopPath(const std::wstring& devicePath)
{
    // A device path that leads out of the device names nothing.
    const bool fromRoot = !devicePath.empty() && devicePath[0] == L'\\' && (devicePath.size() < 2 || devicePath[1] != L'\\');
    if (fromRoot && !StaysInDevice(devicePath))
        return std::wstring();
    std::wstring name;
    if (StartsWithNoCase(devicePath, kWindowsFolder))
        name = devicePath.substr(std::wcslen(kWindowsFolder));
    else if (devicePath.find(L'\\') == std::wstring::npos && devicePath.find(L'/') == std::wstring::npos)
        name = devicePath;
    else if (devicePath[0] == L'\\' && (devicePath.size() < 2 || devicePath[1] != L'\\'))
        return StorePath(devicePath);
    else
        return devicePath;
    if (!StaysInDevice(L"\\" + name))
        return std::wstring();

    // What is installed lies in the device's store (its RAM), and a file
    // there stands in for the ROM's file of its name, as on a device; the
    // ROM is the folder of the device's programs, where this library lies.
    const std::wstring stored = StorePath(name);
    if (Exists(stored))
        return stored;
    const std::wstring rom = ThisLibraryFolder() + name;
    if (Exists(rom))
        return rom;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring desktop = std::wstring(windows) + L"\\" + name;
    return Exists(desktop) ? desktop : stored;
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

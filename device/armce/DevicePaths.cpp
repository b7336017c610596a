#include "DevicePaths.h"

#include <devicefiles.h>
#include <deviceinstaller.h>

#include <windows.h>

namespace armce {

namespace {

constexpr wchar_t kWindowsFolder[] = L"\\Windows\\";
// The programs of the device's ROM a module may start.
constexpr const wchar_t* kDevicePrograms[] = {L"ctlpnl.exe", L"today.exe", L"wceload.exe", L"devinfo.exe"};

bool Exists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A device path: from the root, each part a plain name, as the device's
// one test of a name has it.
bool IsDeviceName(const std::wstring& name)
{
    return DeviceIsDevicePath(name.c_str()) && name.find(L'\0') == std::wstring::npos;
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
    // The installer's folder is its own: a module neither reads nor
    // changes what it keeps there.
    if (!IsDeviceName(name) || DeviceIsInstallersFolder(name))
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
    // The device's own programs, not whatever else its ROM's folder holds
    // (the tests' programs lie there too).
    bool known = false;
    for (const wchar_t* program : kDevicePrograms)
        known = known || CompareStringOrdinal(file.c_str(), -1, program, -1, TRUE) == CSTR_EQUAL;
    if (!known || !Exists(RomFolder() + file))
        return false;
    path = kWindowsFolder + file;
    return true;
}

} // namespace armce

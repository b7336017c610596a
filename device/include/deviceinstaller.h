// The device installer's own places, which belong to it alone: no CAB
// installs into them, and no module the device runs (an ARM Today item, an
// ARM setup library) opens or writes them. Its records and journal lie
// under HKEY_LOCAL_MACHINE\Software\Apps and \Software\AppMgr, its kept
// setup libraries and the journal's copies in \Windows\AppMgr.
#pragma once

#include <windows.h>

#ifdef __cplusplus
#include <cwchar>
#include <string>

#define DEVICE_INSTALLER_FOLDER L"\\Windows\\AppMgr"
#define DEVICE_INSTALLER_RECORDS_KEY L"Software\\Apps"
#define DEVICE_INSTALLER_STATE_KEY L"Software\\AppMgr"

// Whether a path is the one given or lies under it, whatever the case.
inline bool DeviceIsWithin(const std::wstring& path, const wchar_t* folder)
{
    const std::size_t length = std::wcslen(folder);
    return path.size() >= length &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(length), folder, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL &&
           (path.size() == length || path[length] == L'\\');
}

// Whether a device path is the installer's folder or lies in it.
inline bool DeviceIsInstallersFolder(const std::wstring& devicePath)
{
    return DeviceIsWithin(devicePath, DEVICE_INSTALLER_FOLDER);
}

// Whether a key of HKEY_LOCAL_MACHINE (its path from the root) is one of
// the installer's.
inline bool DeviceIsInstallersKey(const std::wstring& path)
{
    return DeviceIsWithin(path, DEVICE_INSTALLER_RECORDS_KEY) || DeviceIsWithin(path, DEVICE_INSTALLER_STATE_KEY);
}
#endif

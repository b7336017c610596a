// The registry keys a module may reach: the device's, but none of the
// installer's (deviceinstaller.h), however it names them: a path under a
// root, or under a key it opened whose own path the registry tells.
#pragma once

#include <windows.h>

#include <string>

namespace armce {

// Whether the key named by subkey (null: the key itself) under key, a root
// of the device or a key of the device the host holds, is one of the
// installer's.
bool IsInstallersKey(HKEY key, const wchar_t* subkey);
// The device's name of that key: the root of the device it lies under and
// its path there; false when the registry cannot tell.
bool DeviceKeyName(HKEY key, const wchar_t* subkey, HKEY& root, std::wstring& path);

} // namespace armce

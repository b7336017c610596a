// The files an emulated module may reach: the device's own, by their device
// names. Its paths never lead out of the device: a name with ".." or a
// drive, or one that would fall back to the desktop's folders, is refused.
#pragma once

#include <string>

namespace armce {

// The desktop path of the device file name for a module: in the device's
// store, or for reading a file of \Windows, in its ROM; false when the
// name is not one of the device's or lies in the installer's own folder.
bool GuestFilePath(const std::wstring& name, bool writing, std::wstring& path);
// Whether name is one of the device's own programs in its ROM
// (\Windows\ctlpnl.exe, ...), which path then names as the device does.
bool DeviceProgram(const std::wstring& name, std::wstring& path);

} // namespace armce

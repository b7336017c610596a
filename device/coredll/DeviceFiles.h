// The device's file names on the desktop, for the library's own use.
#pragma once

#include <windows.h>

#include <string>

namespace coredll {

// The desktop's name of a device file (DeviceFilePath).
std::wstring DesktopPath(const std::wstring& devicePath);

// The device's store: the folder of the desktop user's own where the
// device's RAM keeps its files, and a device file's name in it.
std::wstring StoreFolder();
std::wstring StorePath(const std::wstring& devicePath);

} // namespace coredll

// The device's file names on the desktop, for the library's own use.
#pragma once

#include <windows.h>

#include <string>

namespace coredll {

// The desktop's name of a device file (DeviceFilePath).
std::wstring DesktopPath(const std::wstring& devicePath);

} // namespace coredll

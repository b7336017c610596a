// The device's file names on the desktop, for the library's own use: the
// one place where a device name becomes a desktop name.
#pragma once

#include <windows.h>

#include <string>

namespace coredll {

// One part of a device path, as devicefiles.h's DeviceIsPlainName.
bool IsPlainName(const std::wstring& name);
// A device path from the root, every part a plain name.
bool IsDevicePath(const std::wstring& path);

// The desktop's name of a device file (DeviceFilePath).
std::wstring DesktopPath(const std::wstring& devicePath);

// The device's store: the folder of the desktop user's own where the
// device's RAM keeps its files, and a device file's name in it.
std::wstring StoreFolder();
std::wstring StorePath(const std::wstring& devicePath);

// A program of the device's ROM (\Windows\x.exe): its desktop name, never a
// file of the store, which a store file of the same name does not shadow;
// empty when the ROM has none.
std::wstring RomProgram(const std::wstring& devicePath);

} // namespace coredll

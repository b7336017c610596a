// The names a CAB and a record may give: of members, files, folders and
// applications, held to the device's one test of a name (the core
// library's DeviceIsPlainName): one part of a path, which the desktop takes
// as the device does.
#pragma once

#include <string>

// One part of a path, as above.
bool IsPlainName(const std::wstring& name);
// A device path from the root ("\Windows\x"), every part a plain name.
bool IsDevicePath(const std::wstring& path);
// Device paths and names are the same whatever their letters' case.
bool SameName(const std::wstring& a, const std::wstring& b);

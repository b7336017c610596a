// The names a CAB and a record may give: of members, files, folders and
// applications. A name is one part of a path, which the desktop takes as
// the device does: no way up or out (".", "..", a drive, a separator), no
// character the file systems refuse, no device name the desktop reserves
// (CON, NUL, COM1, ...), no trailing dot or space.
#pragma once

#include <string>

// One part of a path, as above.
bool IsPlainName(const std::wstring& name);
// A device path from the root ("\Windows\x"), every part a plain name.
bool IsDevicePath(const std::wstring& path);
// Device paths and names are the same whatever their letters' case.
bool SameName(const std::wstring& a, const std::wstring& b);

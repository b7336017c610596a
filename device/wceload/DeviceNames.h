// The names a CAB and a record may give: of members, files, folders and
// applications, held to the device's one test of a name (the core
// library's DeviceIsPlainName): one part of a path, which the desktop takes
// as the device does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One part of a path, as above.
bool IsPlainName(const std::wstring& name);
// A device path from the root ("\Windows\x"), every part a plain name.
bool IsDevicePath(const std::wstring& path);
// Device paths and names are the same whatever their letters' case.
bool SameName(const std::wstring& a, const std::wstring& b);
// Whether list holds entry, so compared.
bool Listed(const std::vector<std::wstring>& list, const std::wstring& entry);

// The device's registry roots by the short names records and the journal
// give them ("HKLM", "HKCU", "HKCR", "HKU"): null, and empty, for any other.
HKEY RootNamed(const std::wstring& name);
std::wstring RootName(HKEY root);
// A key's name ("HKLM\\Software\\x") split into its root, the root's short
// name and the path below it; the root's long name (HKEY_LOCAL_MACHINE)
// counts as its short one. Null, and empty, for a root the device has not.
HKEY SplitKeyName(const std::wstring& key, std::wstring& rootName, std::wstring& path);

// What the installer asks of the device's registry keys.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

bool KeyExists(HKEY root, const std::wstring& path);
// There, without values or keys below it.
bool KeyIsEmpty(HKEY root, const std::wstring& path);
// The keys of a key's path that are not there yet, outermost first: whoever
// makes the key makes them all, and takes them away again.
std::vector<std::wstring> MissingKeys(HKEY root, const std::wstring& path);

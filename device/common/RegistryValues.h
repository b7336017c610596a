// Reading a registry key's values and subkeys, for the device's programs:
// what is missing, or of another type, reads as nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A REG_SZ value (or REG_EXPAND_SZ, as it stands), whatever its length;
// empty when missing or of another type.
std::wstring ReadText(HKEY key, const std::wstring& name);
// A REG_DWORD value, or fallback.
DWORD ReadNumber(HKEY key, const std::wstring& name, DWORD fallback);
// A value's bytes, whatever its type; empty when missing.
std::vector<BYTE> ReadBytes(HKEY key, const std::wstring& name);

struct NamedValue
{
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
};
// Every value of a key, in the registry's order.
std::vector<NamedValue> ValuesOf(HKEY key);
// The names of a key's subkeys, in the registry's order.
std::vector<std::wstring> SubKeyNames(HKEY key);

// The item's only door to the registry. Every operation opens its key, makes
// one call and closes the key again; no handle outlives an operation.
#pragma once

#include <windows.h>

// One value's data: its type, the caller's buffer and the buffer's size. Reads
// overwrite the type and the size with what is stored.
struct RegValue
{
    DWORD dwType;
    BYTE* pData;
    DWORD cbData;
};

class CSysRegistry
{
public:
    virtual ~CSysRegistry();

    static CSysRegistry& Instance();

    bool CreateKey(HKEY hRoot, const wchar_t* pszPath);
    bool SetValue(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, const RegValue& value);
    bool GetValue(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, RegValue& value);
    bool SetDWord(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, DWORD dwValue);
    DWORD GetDWord(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName);
    bool ValueExists(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName);
    bool KeyExists(HKEY hRoot, const wchar_t* pszPath);
};

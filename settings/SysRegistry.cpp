#include "SysRegistry.h"

namespace {

// Windows CE ignores the access mask; KEY_WRITE is asked also for reading.
const REGSAM kOpenAccess = KEY_WRITE;

HKEY OpenKey(HKEY hRoot, const wchar_t* pszPath)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExW(hRoot, pszPath, 0, kOpenAccess, &hKey) != ERROR_SUCCESS)
        return NULL;
    return hKey;
}

} // namespace

CSysRegistry::~CSysRegistry()
{
}

CSysRegistry& CSysRegistry::Instance()
{
    static CSysRegistry s_registry;
    return s_registry;
}

bool CSysRegistry::CreateKey(HKEY hRoot, const wchar_t* pszPath)
{
    HKEY hKey = NULL;
    DWORD dwDisposition = 0;
    const LONG lResult =
        RegCreateKeyExW(hRoot, pszPath, 0, NULL, 0, 0, NULL, &hKey, &dwDisposition);
    if (lResult == ERROR_SUCCESS)
        RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

bool CSysRegistry::SetValue(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, const RegValue& value)
{
    HKEY hKey = OpenKey(hRoot, pszPath);
    if (!hKey)
        return false;
    const LONG lResult = RegSetValueExW(hKey, pszName, 0, value.dwType, value.pData, value.cbData);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

bool CSysRegistry::GetValue(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, RegValue& value)
{
    HKEY hKey = OpenKey(hRoot, pszPath);
    if (!hKey)
        return false;
    const LONG lResult = RegQueryValueExW(hKey, pszName, NULL, &value.dwType, value.pData, &value.cbData);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

bool CSysRegistry::SetDWord(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName, DWORD dwValue)
{
    const RegValue value = {REG_DWORD, reinterpret_cast<BYTE*>(&dwValue), sizeof dwValue};
    return SetValue(hRoot, pszPath, pszName, value);
}

DWORD CSysRegistry::GetDWord(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName)
{
    DWORD dwValue = 0;
    RegValue value = {REG_DWORD, reinterpret_cast<BYTE*>(&dwValue), sizeof dwValue};
    // A failed read may have written part of a longer value into the buffer.
    if (!GetValue(hRoot, pszPath, pszName, value))
        return 0;
    return dwValue;
}

bool CSysRegistry::ValueExists(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszName)
{
    HKEY hKey = OpenKey(hRoot, pszPath);
    if (!hKey)
        return false;
    const LONG lResult = RegQueryValueExW(hKey, pszName, NULL, NULL, NULL, NULL);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

bool CSysRegistry::KeyExists(HKEY hRoot, const wchar_t* pszPath)
{
    HKEY hKey = OpenKey(hRoot, pszPath);
    if (!hKey)
        return false;
    RegCloseKey(hKey);
    return true;
}

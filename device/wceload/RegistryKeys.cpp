#include "RegistryKeys.h"

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool KeyIsEmpty(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    const bool read = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                          nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && subkeys == 0 && values == 0;
}

std::vector<std::wstring> MissingKeys(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> missing;
    for (size_t at = path.find(L'\\');; at = path.find(L'\\', at + 1)) {
        const std::wstring part = path.substr(0, at);
        if (!missing.empty() || !KeyExists(root, part))
            missing.push_back(part);
        if (at == std::wstring::npos)
            return missing;
    }
}

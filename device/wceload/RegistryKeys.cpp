#include "RegistryKeys.h"

#include "OwnedHandle.h"

bool KeyExists(HKEY root, const std::wstring& path)
{
    UniqueKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool KeyIsEmpty(HKEY root, const std::wstring& path)
{
    UniqueKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    return RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
               nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
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

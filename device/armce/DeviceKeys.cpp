#include "DeviceKeys.h"

#include <deviceinstaller.h>
#include <deviceregistry.h>

#include <string>
#include <vector>

namespace armce {

namespace {

// The registry's own path of a key the host holds ("\REGISTRY\USER\...");
// empty when it cannot tell.
std::wstring RegistryPath(HKEY key)
{
    using QueryKey = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    constexpr int kKeyNameInformation = 3;
    if (!query)
        return std::wstring();
    std::vector<ULONG> buffer(1024);
    ULONG needed = 0;
    if (query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size() * sizeof(ULONG)), &needed) != 0)
        return std::wstring();
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1), buffer[0] / sizeof(wchar_t));
}

// A key's path as the registry reads it: the parts between backslashes,
// empty ones left out.
std::wstring Parts(const wchar_t* path)
{
    std::wstring parts;
    for (const wchar_t* at = path; at && *at; ++at)
        if (*at != L'\\' || (!parts.empty() && parts.back() != L'\\'))
            parts += *at;
    if (!parts.empty() && parts.back() == L'\\')
        parts.pop_back();
    return parts;
}

// Whether a registry path lies at or below prefix, and the part below it.
bool Below(const std::wstring& path, const std::wstring& prefix, std::wstring& relative)
{
    const std::wstring folder = prefix + L"\\";
    if (prefix.empty())
        return false;
    if (CompareStringOrdinal(path.c_str(), -1, prefix.c_str(), -1, TRUE) == CSTR_EQUAL) {
        relative.clear();
        return true;
    }
    if (path.size() <= folder.size() || CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()),
                                            folder.c_str(), static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    relative = path.substr(folder.size());
    return true;
}

} // namespace

bool DeviceKeyName(HKEY key, const wchar_t* subkey, HKEY& root, std::wstring& path)
{
    std::wstring relative;
    root = nullptr;
    if (DeviceIsPredefinedKey(key)) {
        if (!DeviceIsCeRoot(key))
            return false;
        root = key;
    } else {
        const std::wstring named = RegistryPath(key);
        for (const HKEY candidate : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS}) {
            const HKEY device = DeviceRegistryRoot(candidate);
            if (!device)
                continue;
            const std::wstring prefix = RegistryPath(device);
            RegCloseKey(device);
            if (!named.empty() && Below(named, prefix, relative)) {
                root = candidate;
                break;
            }
        }
        if (!root)
            return false;
    }
    path = Parts((relative + L"\\" + (subkey ? subkey : L"")).c_str());
    return true;
}

bool IsInstallersKey(HKEY key, const wchar_t* subkey)
{
    // A key the registry cannot name is held as the installer's; only the
    // device's HKEY_LOCAL_MACHINE holds the installer's keys.
    HKEY root = nullptr;
    std::wstring path;
    if (!DeviceKeyName(key, subkey, root, path))
        return true;
    return root == HKEY_LOCAL_MACHINE && DeviceIsInstallersKey(path);
}

} // namespace armce

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

} // namespace

bool IsInstallersKey(HKEY key, const wchar_t* subkey)
{
    // Only the device's HKEY_LOCAL_MACHINE holds the installer's keys.
    std::wstring relative;
    if (DeviceIsPredefinedKey(key)) {
        if (key != HKEY_LOCAL_MACHINE)
            return false;
    } else {
        const HKEY machine = DeviceRegistryRoot(HKEY_LOCAL_MACHINE);
        if (!machine)
            return true;
        const std::wstring root = RegistryPath(machine) + L"\\";
        RegCloseKey(machine);
        const std::wstring named = RegistryPath(key);
        // A key the registry cannot name is held as the installer's.
        if (root.size() < 2 || named.empty())
            return true;
        const std::wstring path = named + L"\\";
        if (path.size() < root.size() ||
            CompareStringOrdinal(path.c_str(), static_cast<int>(root.size()), root.c_str(), static_cast<int>(root.size()),
                TRUE) != CSTR_EQUAL)
            return false;
        relative = path.substr(root.size());
    }
    return DeviceIsInstallersKey(Parts((relative + (subkey ? subkey : L"")).c_str()));
}

} // namespace armce

// The Windows CE registry over the desktop's. Inside a device its two roots
// are the device's own keys (DeviceHive.h). Key paths may start with a
// backslash. Windows CE ignores the access a key is opened with: every handle
// reads and writes. A key is opened so where the desktop allows it, and
// otherwise with the access the call asks for, reading included (which the
// item's registry object relies on: it reads through keys opened for
// writing), so that reading a key the desktop user may not write still works.
#include "Registry.h"
#include "Failures.h"

#include "Accounting.h"
#include "DeviceHive.h"

#include <deviceaccounting.h>
#include <deviceregistry.h>

#include <atomic>

namespace {

std::atomic<DWORD> g_openings{0};

// Opens or creates a key with Windows CE's access where the desktop grants it.
template <typename Open>
LONG OpenAsOnWindowsCe(REGSAM asked, PHKEY result, Open open)
{
    for (const REGSAM access : {asked | KEY_READ | KEY_WRITE, asked | KEY_READ, asked}) {
        const LONG opened = open(access);
        if (opened != ERROR_ACCESS_DENIED) {
            if (opened == ERROR_SUCCESS && result)
                coredll::Made(DEVICE_REGISTRY_KEYS, *result);
            return opened;
        }
    }
    return ERROR_ACCESS_DENIED;
}

} // namespace

namespace coredll {

const wchar_t* CePath(const wchar_t* path)
{
    return (path && path[0] == L'\\') ? path + 1 : path;
}

} // namespace coredll

using coredll::DeviceKey;

extern "C" {

LONG WINAPI CeRegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY result)
{
    CE_FALLIBLE("RegOpenKeyExW", ERROR_NOT_ENOUGH_MEMORY);
    ++g_openings;
    const DeviceKey key(root);
    return OpenAsOnWindowsCe(access, result, [&](REGSAM granted) {
        return RegOpenKeyExW(key.get(), coredll::CePath(path), options, granted, result);
    });
}

LONG WINAPI CeRegCreateKeyExW(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD,
    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    CE_FALLIBLE("RegCreateKeyExW", ERROR_NOT_ENOUGH_MEMORY);
    ++g_openings;
    const DeviceKey key(root);
    return OpenAsOnWindowsCe(access, result, [&](REGSAM granted) {
        // Windows CE ignores the options: none (a volatile key, a symbolic
        // link to another key) reaches the desktop's registry.
        return RegCreateKeyExW(key.get(), coredll::CePath(path), reserved, keyClass, REG_OPTION_NON_VOLATILE,
            granted, security, result, disposition);
    });
}

LONG WINAPI CeRegCloseKey(HKEY key)
{
    const LONG closed = RegCloseKey(key);
    if (closed == ERROR_SUCCESS)
        coredll::Released(DEVICE_REGISTRY_KEYS, key);
    return closed;
}

LONG WINAPI CeRegDeleteKeyW(HKEY root, LPCWSTR path)
{
    const DeviceKey key(root);
    return RegDeleteKeyW(key.get(), coredll::CePath(path));
}

LONG WINAPI CeRegDeleteValueW(HKEY key, LPCWSTR name)
{
    return RegDeleteValueW(DeviceKey(key).get(), name);
}

LONG WINAPI CeRegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
    LPWSTR keyClass, LPDWORD classLength, PFILETIME written)
{
    return RegEnumKeyExW(DeviceKey(key).get(), index, name, nameLength, reserved, keyClass, classLength, written);
}

LONG WINAPI CeRegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
    LPDWORD type, LPBYTE data, LPDWORD size)
{
    return RegEnumValueW(DeviceKey(key).get(), index, name, nameLength, reserved, type, data, size);
}

LONG WINAPI CeRegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
    LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
    LPDWORD maxValueLength, LPDWORD securityDescriptorLength, PFILETIME written)
{
    return RegQueryInfoKeyW(DeviceKey(key).get(), keyClass, classLength, reserved, subKeys, maxSubKeyLength,
        maxClassLength, values, maxValueNameLength, maxValueLength, securityDescriptorLength, written);
}

LONG WINAPI CeRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    CE_FALLIBLE("RegQueryValueExW", ERROR_NOT_ENOUGH_MEMORY);
    return RegQueryValueExW(DeviceKey(key).get(), name, reserved, type, data, size);
}

LONG WINAPI CeRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    CE_FALLIBLE("RegSetValueExW", ERROR_NOT_ENOUGH_MEMORY);
    return RegSetValueExW(DeviceKey(key).get(), name, reserved, type, data, size);
}

DWORD WINAPI DeviceRegistryOpenings()
{
    return g_openings;
}

void WINAPI DeviceJoin()
{
    if (coredll::DeviceName().empty())
        SetEnvironmentVariableW(DEVICE_NAME_VARIABLE, DEVICE_DEFAULT_NAME);
}

HKEY WINAPI DeviceRegistryRoot(HKEY root)
{
    DeviceKey key(root);
    return key.Release();
}

} // extern "C"

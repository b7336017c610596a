// The Windows CE registry over the desktop's: key paths may start with a
// backslash, and every key is open for reading and writing whatever access
// the caller asks for (Windows CE ignores the access mask).
#include "Registry.h"

#include "Accounting.h"

#include <deviceaccounting.h>

#include <atomic>

namespace {

std::atomic<DWORD> g_openings{0};

} // namespace

namespace coredll {

const wchar_t* CePath(const wchar_t* path)
{
    return (path && path[0] == L'\\') ? path + 1 : path;
}

} // namespace coredll

extern "C" {

LONG WINAPI CeRegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM, PHKEY result)
{
    ++g_openings;
    const LONG opened = RegOpenKeyExW(root, coredll::CePath(path), options, coredll::kCeAccess, result);
    if (opened == ERROR_SUCCESS && result)
        coredll::Made(DEVICE_REGISTRY_KEYS, *result);
    return opened;
}

LONG WINAPI CeRegCreateKeyExW(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    ++g_openings;
    const LONG created = RegCreateKeyExW(root, coredll::CePath(path), reserved, keyClass, options,
        coredll::kCeAccess, security, result, disposition);
    if (created == ERROR_SUCCESS && result)
        coredll::Made(DEVICE_REGISTRY_KEYS, *result);
    return created;
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
    return RegDeleteKeyW(root, coredll::CePath(path));
}

DWORD WINAPI DeviceRegistryOpenings()
{
    return g_openings;
}

} // extern "C"

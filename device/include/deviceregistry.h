// The device's registry. Inside a device (the environment variable
// DEVICE_NAME names it) the four roots of Windows CE, HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and HKEY_USERS, are keys of the
// desktop user's own registry,
// HKEY_CURRENT_USER\Software\MesoluneDevice\<name>\HKEY_LOCAL_MACHINE and
// so on: the core library's registry functions map the roots onto them, and
// any other root the desktop has (HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA,
// ...) names no key in the device, so that a device writes nothing anywhere
// else and its user needs no rights beyond their own; deleting the device's
// key resets it. Outside a device the roots are the desktop's.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The environment variable that names the device a program runs in.
#define DEVICE_NAME_VARIABLE L"DEVICE_NAME"
// The device of a program that is started without one.
#define DEVICE_DEFAULT_NAME L"PocketPC"
// Under the desktop user's HKEY_CURRENT_USER: a key per device.
#define DEVICE_HIVES_KEY L"Software\\MesoluneDevice"

// The calling program runs in the device: the one named in its environment,
// or the default device; the programs it starts run in it too.
void WINAPI DeviceJoin(void);

// A key that stands for a root of the device, for the desktop's registry
// functions the device library does not export; the caller closes it with
// RegCloseKey. A key that is no root, or any key outside a device, is
// returned as it is. Null when the device's key cannot be opened, or for a
// root the device does not have.
HKEY WINAPI DeviceRegistryRoot(HKEY hkeyRoot);

#ifdef __cplusplus
// Whether a key is one of the platform's predefined roots rather than a
// key a program opened.
inline bool DeviceIsPredefinedKey(HKEY key)
{
    const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
    const ULONG_PTR first = reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT);
    return value >= first && value - first <= 0xFF;
}

// Whether a predefined root is one of the four Windows CE has.
inline bool DeviceIsCeRoot(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT || key == HKEY_USERS;
}
#endif

#ifdef __cplusplus
}
#endif

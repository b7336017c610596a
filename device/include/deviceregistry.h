// The device's registry. Inside a device (the environment variable
// DEVICE_NAME names it) the device's HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER
// are keys of the desktop user's own registry,
// HKEY_CURRENT_USER\Software\MesoluneDevice\<name>\HKEY_LOCAL_MACHINE and
// ...\HKEY_CURRENT_USER: the core library's registry functions map the two
// roots onto them, so that a device writes nothing anywhere else and its user
// needs no rights beyond their own; deleting the device's key resets it.
// Outside a device the roots are the desktop's.
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

// A key that stands for a root (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) of
// the device, for the desktop's registry functions the device library does
// not export; the caller closes it with RegCloseKey. Any other key, or any
// key outside a device, is returned as it is. Null when the device's key
// cannot be opened.
HKEY WINAPI DeviceRegistryRoot(HKEY hkeyRoot);

#ifdef __cplusplus
}
#endif

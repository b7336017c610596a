// The device's file names. A device names its files from the root of its
// one file system ("\Windows\ctlpnl.exe"). What is installed lies in the
// device's store, its RAM: a folder of the desktop user's own
// (%LOCALAPPDATA%\MesoluneDevice\<device>). A file of the device's Windows
// folder is found there, then in the folder of its programs (its ROM, where
// the core library lies), then in the desktop's Windows folder; other device
// paths are the store's. A device path with a part that leads up or out of
// the device ("..", ".", a drive) names no file.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The desktop's name of a device file, into a buffer of cchDesktop
// characters; a name without a folder is looked for in the Windows folder,
// and a desktop name is kept. The length written, or 0 when the buffer is
// too small or the path leads out of the device.
DWORD WINAPI DeviceFilePath(LPCWSTR pszDevicePath, LPWSTR pszDesktopPath, DWORD cchDesktop);

// Where a device file is written when it is installed: its name in the
// device's store, whether or not it is there. The length written, or 0 when
// the buffer is too small or the path leads out of the device.
DWORD WINAPI DeviceStorePath(LPCWSTR pszDevicePath, LPWSTR pszDesktopPath, DWORD cchDesktop);

#ifdef __cplusplus
}
#endif

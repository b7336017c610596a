// The device's file names. A device names its files from the root of its
// one file system ("\Windows\ctlpnl.exe"). What is installed lies in the
// device's store, its RAM: a folder of the desktop user's own
// (%LOCALAPPDATA%\MesoluneDevice\<device>). A file of the device's Windows
// folder is found there, then in the folder of its programs (its ROM, where
// the core library lies); other device paths are the store's. A program is
// started from the ROM only: a file of the store is never run as one. A
// device path with a part that is no plain name (DeviceIsPlainName) names
// no file.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Whether a name is one part of a device path that names the same file on
// the device and on the desktop: not empty, no way up or out ("." or ".."),
// no separator, no character a file system refuses, no trailing dot or
// space, and none of the desktop's device names in any spelling (CON, PRN,
// AUX, NUL, CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9, whatever the case,
// with an extension, with spaces before it). This is the device's one test
// of a name: its files, its installer and the modules it runs all use it.
BOOL WINAPI DeviceIsPlainName(LPCWSTR pszName);
// Whether a path is a device path from the root ("\Windows\x"), every part
// a plain name.
BOOL WINAPI DeviceIsDevicePath(LPCWSTR pszPath);

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

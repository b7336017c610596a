// The device's file names. A device names its files from the root of its
// one file system ("\Windows\ctlpnl.exe"); the device's Windows folder is
// the folder of its programs (where the core library lies), then the
// desktop's own Windows folder; other device paths lie on drive C.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The desktop's name of a device file, into a buffer of cchDesktop
// characters; a name without a folder is looked for in the Windows folder,
// and any other name is kept. The length written, or 0 when the buffer is
// too small.
DWORD WINAPI DeviceFilePath(LPCWSTR pszDevicePath, LPWSTR pszDesktopPath, DWORD cchDesktop);

#ifdef __cplusplus
}
#endif

// What the device's core library counts of the work done through it, for
// tests and benchmarks.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Registry keys opened or created (attempts, successful or not) so far.
DWORD WINAPI DeviceRegistryOpenings(void);

#ifdef __cplusplus
}
#endif

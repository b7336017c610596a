// What a program of the device learns of who started it. A module the
// device runs (an ARM Today item, an ARM setup library) may start the
// device's own programs only; such a process, and every process it starts,
// carries DEVICE_STARTED_BY_MODULE in its environment, and takes every path
// on its command line as a device path (in the device's store or its ROM),
// never as the desktop's. A module's processes never carry the variables
// the device's programs give each other (those that start with
// DEVICE_PRIVATE_PREFIX), so that none can pass for one of them.
#pragma once

#include <windows.h>

#define DEVICE_STARTED_BY_MODULE L"DEVICE_STARTED_BY_MODULE"
#define DEVICE_PRIVATE_PREFIX L"DEVICE_PRIVATE_"

#ifdef __cplusplus
// Whether a module of the device started this process, or one of its
// ancestors.
inline bool DeviceStartedByModule()
{
    return GetEnvironmentVariableW(DEVICE_STARTED_BY_MODULE, nullptr, 0) > 0;
}
#endif

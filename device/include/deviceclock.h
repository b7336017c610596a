// The emulated device's clock, for programs that drive time in the device
// (the Today screen's --time, tests, benchmarks). Items never call these: they
// read the clock with GetLocalTime and GetTickCount as on a device.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Sets the tick count that GetTickCount returns from now on; it runs on from there.
void WINAPI DeviceSetTickCount(DWORD dwTicks);
// While held, the local time and the tick count stand still; SetLocalTime and
// DeviceSetTickCount still move them.
void WINAPI DeviceHoldClock(BOOL bHold);
// Back to the host computer's local time and tick count, running.
void WINAPI DeviceResetClock(void);

#ifdef __cplusplus
}
#endif

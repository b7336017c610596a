// The device's heap, for tests: the C runtime's allocations made through the
// core library can be made to fail, as they do on a device whose memory has
// run out. Items never call this.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The next count allocations through the core library's malloc answer null;
// 0 lets every allocation through again.
void WINAPI DeviceFailAllocations(DWORD count);

#ifdef __cplusplus
}
#endif

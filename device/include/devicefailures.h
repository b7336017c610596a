// The device's failures, for tests: any fallible function of the device's
// libraries that an item imports can be made to fail the way the platform
// reports it (a null handle, FALSE, an error code, -1 from a dialog, a
// cancelled colour dialog). Only the item's calls count: those made from
// the module named with DeviceFailuresFor, or by a module the device runs
// on its emulated processor. Items never call these.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The calls from this module's code are the item's (null: none but those
// of emulated modules).
void WINAPI DeviceFailuresFor(HMODULE hModule);

// The n-th call from now (1: the next) of the function named fails; with
// fFromThenOn every later call of it too (a resource that is exhausted).
void WINAPI DeviceFailCall(LPCSTR pszFunction, DWORD n, BOOL fFromThenOn);

// The n-th fallible call from now, of whatever function, fails; with
// fFromThenOn every later call of that function too.
void WINAPI DeviceFailFallibleCall(DWORD n, BOOL fFromThenOn);

// Every call goes through again, and the counts start afresh.
void WINAPI DeviceClearFailures(void);

// The item's fallible calls since the failures were last set or cleared.
DWORD WINAPI DeviceFallibleCalls(void);

// The function that was made to fail (its first failure), into a buffer of
// cch characters; its length, 0 when none has failed.
DWORD WINAPI DeviceFailedFunction(LPSTR pszFunction, DWORD cch);

// For the device's libraries: whether this call of the function, made from
// the code at pvReturn, is to fail. A call an emulated module makes
// (DeviceGuestCall, deviceaccounting.h) is always the item's.
BOOL WINAPI DeviceCallFails(LPCSTR pszFunction, LPVOID pvReturn);

#ifdef __cplusplus
}
#endif

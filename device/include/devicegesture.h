// A scripted gesture recogniser, for tests that drive an item window with
// messages rather than with the stylus: while a script is set,
// SHRecognizeGesture returns its answers in turn instead of following the
// stylus, and records what it was asked.
#pragma once

#include <aygshell.h>

#ifdef __cplusplus
extern "C" {
#endif

// Answers for the next calls (copied); count 0 returns to following the stylus.
void WINAPI DeviceScriptGestures(const DWORD* answers, int count);
// The record of the last call.
SHRGINFO WINAPI DeviceLastGestureRequest(void);

// The input's own clock, for a program that plays the stylus with time
// stamps of its own (an input script, a test): from this call on,
// SHRecognizeGesture takes dwNow as the time now, so that a press is judged
// by the stamps of its events and by this clock alone, however late its
// window comes to it. The player sets it again after each event it sends
// and as the time it plays goes on.
void WINAPI DeviceSetInputClock(DWORD dwNow);
// Back to the tick count.
void WINAPI DeviceReleaseInputClock(void);

// The time the stylus must stay down for a tap-and-hold, in milliseconds.
#define DEVICE_HOLD_MILLISECONDS 500

#ifdef __cplusplus
}
#endif

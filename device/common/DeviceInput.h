// Stylus and keys through the device's real input path (SendInput), as a
// person's would come: what scripts and tests play to the device.
#pragma once

#include <windows.h>

namespace deviceinput {

// Wine moves the display's pointer only while it lies on the device's screen;
// this brings it there, to a point. Call it before the first stylus move.
void BringPointerTo(POINT point);

// The host's tick count, which stamps the display's own events: the time
// base of the stamps below.
DWORD InputTime();

// The stylus over a point of the desktop, with the buttons given
// (MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP or none), stamped with a time
// of the input's clock (0: the moment it is sent).
void Stylus(POINT point, DWORD buttons = 0, DWORD time = 0);

// The stylus's button alone (MOUSEEVENTF_LEFTDOWN or MOUSEEVENTF_LEFTUP),
// where the stylus stands, with no move.
void Button(DWORD buttons, DWORD time = 0);

// The stylus moved over a point before it goes down there. Under Wine each
// move echoes the pointer's previous place once, later and stamped with
// the time of the move; this waits the echo out where it can.
void Approach(POINT point, DWORD time = 0);

void PressKey(WORD key, DWORD time = 0);

} // namespace deviceinput

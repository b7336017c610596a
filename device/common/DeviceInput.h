// Stylus and keys through the device's real input path (SendInput), as a
// person's would come: what scripts and tests play to the device.
#pragma once

#include <windows.h>

namespace deviceinput {

// Wine moves the display's pointer only while it lies on the device's screen;
// this brings it there, to a point. Call it before the first stylus move.
void BringPointerTo(POINT point);

// The stylus over a point of the desktop, with the buttons given
// (MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP or none).
void Stylus(POINT point, DWORD buttons = 0);

// The stylus moved over a point before it goes down there. Under Wine each
// move echoes the pointer's previous place once; this waits the echo out.
void Approach(POINT point);

void PressKey(WORD key);

} // namespace deviceinput

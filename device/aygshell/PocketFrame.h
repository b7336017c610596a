// A full-screen dialog in the Pocket PC's frame: no caption or border of
// its own, the navigation bar above it (its title on the left and, with a
// done button, "ok" on the right, which sends IDOK) and the menu bar below
// it, both drawn as the Today screen draws its own, at the screen's density.
// The dialog's client area is what lies between the bars.
#pragma once

#include <windows.h>

// Lays the dialog over the device's screen in the frame; menuBar keeps the
// bottom bar (a dialog full screen without a menu bar reaches the bottom).
void FramePocketDialog(HWND dialog, bool doneButton, bool menuBar);
// Shows or hides the navigation bar's ok of a framed dialog; false when the
// dialog is not one.
bool ShowFrameOk(HWND dialog, bool show);

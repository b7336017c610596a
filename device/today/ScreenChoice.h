// The screen of one run of the Today screen: the profile asked for, else the
// device's own, upright or turned as asked. It lasts while the Today screen
// or a program it started runs, and nothing of it is stored, so that a run
// that is killed leaves the next one the screen that one asks for.
#pragma once

#include <string>

// Chooses the run's screen; message says what came instead of the device's
// own profile when that could not be read, or why the choice failed (then
// false, and the device's screen stands).
bool ChooseScreen(const std::wstring& profile, bool landscape, std::wstring& message);

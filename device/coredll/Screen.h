// The device's screen, for the library's own use.
#pragma once

#include <devicescreen.h>

namespace coredll {

// The screen of the profile set in the device registry; false without one.
bool CurrentScreen(DEVICE_SCREEN& screen);

// The density of the desktop the device is shown on.
int DesktopDpi();

} // namespace coredll

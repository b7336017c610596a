// The device's screen, for the library's own use.
#pragma once

#include <devicescreen.h>

namespace coredll {

// The screen the calling program shows (DeviceGetScreen); false outside a
// device without a chosen screen.
bool CurrentScreen(DEVICE_SCREEN& screen);

// The density of the desktop the device is shown on.
int DesktopDpi();

} // namespace coredll

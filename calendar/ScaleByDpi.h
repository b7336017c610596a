// Lengths designed for a 96-dpi screen, scaled to the device's density.
#pragma once

enum DpiAxis
{
    kDpiX, // the screen's horizontal density (LOGPIXELSX)
    kDpiY, // its vertical density (LOGPIXELSY)
};

// (|v| * dpi + 48) div 96 with the sign of v. Each density is read from the
// screen once per process; -1 when no screen device context can be had.
int ScaleByDpi(int v, DpiAxis axis);

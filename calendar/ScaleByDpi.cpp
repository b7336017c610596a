#include "ScaleByDpi.h"

#include <windows.h>

namespace {

// The density the lengths are drawn for, used while the screen's cannot be
// read.
const int kBaseDpi = 96;

// The screen's density; 0 when it cannot be read.
int ReadScreenDensity(int nIndex)
{
    HDC hdc = GetDC(NULL);
    if (!hdc)
        return 0;
    const int nDpi = GetDeviceCaps(hdc, nIndex);
    ReleaseDC(NULL, hdc);
    return nDpi;
}

// Read once, when it can be read: a failed read is tried again next time.
int Density(DpiAxis axis)
{
    static int s_nDpiX = 0, s_nDpiY = 0;
    int& nDpi = axis == kDpiX ? s_nDpiX : s_nDpiY;
    if (nDpi <= 0)
        nDpi = ReadScreenDensity(axis == kDpiX ? LOGPIXELSX : LOGPIXELSY);
    return nDpi > 0 ? nDpi : kBaseDpi;
}

} // namespace

int ScaleByDpi(int v, DpiAxis axis)
{
    const int nScaled = ((v < 0 ? -v : v) * Density(axis) + 48) / 96;
    return v < 0 ? -nScaled : nScaled;
}

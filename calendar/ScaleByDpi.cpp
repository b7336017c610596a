#include "ScaleByDpi.h"

#include <windows.h>

namespace {

int ReadScreenDensity(int nIndex)
{
    HDC hdc = GetDC(NULL);
    if (!hdc)
        return -1;
    const int nDpi = GetDeviceCaps(hdc, nIndex);
    ReleaseDC(NULL, hdc);
    return nDpi;
}

int Density(DpiAxis axis)
{
    static bool s_bReadX = false, s_bReadY = false;
    static int s_nDpiX = 0, s_nDpiY = 0;
    if (axis == kDpiX) {
        if (!s_bReadX) {
            s_nDpiX = ReadScreenDensity(LOGPIXELSX);
            s_bReadX = true;
        }
        return s_nDpiX;
    }
    if (!s_bReadY) {
        s_nDpiY = ReadScreenDensity(LOGPIXELSY);
        s_bReadY = true;
    }
    return s_nDpiY;
}

} // namespace

int ScaleByDpi(int v, DpiAxis axis)
{
    const int nScaled = ((v < 0 ? -v : v) * Density(axis) + 48) / 96;
    return v < 0 ? -nScaled : nScaled;
}

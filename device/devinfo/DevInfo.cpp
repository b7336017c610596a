// Prints what a program running in the device sees of its screen.
#include <windows.h>

#include <cstdio>

int main()
{
    HDC hdc = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(hdc, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
    const int bits = GetDeviceCaps(hdc, BITSPIXEL);
    ReleaseDC(nullptr, hdc);
    std::printf("screen %dx%d\ndpi %dx%d\ncolour %d bits\n",
        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), dpiX, dpiY, bits);
    return 0;
}

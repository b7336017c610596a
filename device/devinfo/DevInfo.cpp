// Prints what a program running in the device sees of its screen.
#include <deviceregistry.h>
#include <devicescreen.h>

#include <windows.h>

#include <cstdio>

int main()
{
    DeviceJoin();
    DEVICE_SCREEN screen = {};
    if (DeviceGetScreen(&screen))
        std::printf("profile %ls%s%s\n", screen.szProfile, screen.fLandscape ? ", landscape" : "",
            screen.dwFallback != DEVICE_PROFILE_TAKEN ? " (the device's own profile cannot be read)" : "");
    HDC hdc = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(hdc, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
    const int bits = GetDeviceCaps(hdc, BITSPIXEL);
    ReleaseDC(nullptr, hdc);
    std::printf("screen %dx%d\ndpi %dx%d\ncolour %d bits\n",
        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), dpiX, dpiY, bits);
    return 0;
}

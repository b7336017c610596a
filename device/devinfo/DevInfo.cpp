// Prints what a program running in the device sees of its screen, once the
// screen is there: a device's first program starts Wine's desktop, which a
// busy machine may take longer to make than Wine waits for, and until then
// no window can be made (the launcher runs this first in each device of a
// session, so that the programs after it find the desktop made).
#include <deviceregistry.h>
#include <devicescreen.h>

#include <windows.h>

#include <cstdio>

namespace {

// Far beyond a loaded machine's delays.
constexpr ULONGLONG kScreenDeadlineMs = 300000;

bool AwaitScreen()
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
            DestroyWindow(probe);
            return true;
        }
        if (GetTickCount64() - start >= kScreenDeadlineMs)
            return false;
        Sleep(100);
    }
}

} // namespace

int main()
{
    if (!AwaitScreen()) {
        std::fprintf(stderr, "devinfo: no window could be made on the screen within %llu s\n",
            kScreenDeadlineMs / 1000);
        return 1;
    }
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

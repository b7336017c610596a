// The device's screen. Its profile (a named screen: size and density) and
// its orientation are kept in the device's registry, and the core library
// answers every program's questions about the screen from them
// (GetSystemMetrics SM_CXSCREEN and SM_CYSCREEN, GetDeviceCaps LOGPIXELSX and
// LOGPIXELSY of screen and screen-compatible DCs), whatever the desktop's
// screen is. Without a profile, the platform's answers stand.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The Today screen's window, which shows the device's screen on the desktop.
#define DEVICE_SCREEN_WINDOW_CLASS L"DesktopExplorerWindow"

typedef struct DEVICE_SCREEN
{
    WCHAR szProfile[16];
    BOOL fLandscape; // turned a quarter: width and height swapped
    int cx;          // pixels, as the screen is turned
    int cy;
    int dpi;
} DEVICE_SCREEN;

// The screen of the profile set in the device; FALSE when none is set.
BOOL WINAPI DeviceGetScreen(DEVICE_SCREEN* pScreen);
// Sets the profile and the orientation; FALSE for an unknown profile.
BOOL WINAPI DeviceSetScreen(LPCWSTR pszProfile, BOOL fLandscape);
// Forgets the profile: the platform's answers stand again.
void WINAPI DeviceClearScreen(void);
// The name of the known profile with this index, or NULL past the last.
LPCWSTR WINAPI DeviceProfileName(int index);
// Where the device's screen lies on the desktop: the client area of the
// Today screen's window, or the desktop's top-left corner while it is not
// showing.
void WINAPI DeviceScreenRect(RECT* pRect);

#ifdef __cplusplus
}
#endif

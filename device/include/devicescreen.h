// The device's screen. The device keeps its own screen profile (a named
// screen: size and density) and orientation in its registry; a program may
// choose another screen for its run, which it and the programs it starts
// show while one of them runs, and which nothing stores. The core library
// answers every program's questions about the screen from the screen that
// results (GetSystemMetrics SM_CXSCREEN and SM_CYSCREEN, GetDeviceCaps
// LOGPIXELSX and LOGPIXELSY of screen and screen-compatible DCs), whatever
// the desktop's screen is. Outside a device, with no screen chosen, the
// platform's answers stand.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The Today screen's window, which shows the device's screen on the desktop.
#define DEVICE_SCREEN_WINDOW_CLASS L"DesktopExplorerWindow"

// The device's own screen, under its HKEY_LOCAL_MACHINE: "Profile" (REG_SZ)
// and "Landscape" (REG_DWORD, 1 when turned; upright when missing).
#define DEVICE_SCREEN_KEY L"Software\\Device\\Screen"

// Why the device's own profile could not be taken, in which case the screen
// is the first profile, upright.
#define DEVICE_PROFILE_TAKEN 0
#define DEVICE_PROFILE_MISSING 1    // no profile set (or no key)
#define DEVICE_PROFILE_UNKNOWN 2    // a name no profile has
#define DEVICE_PROFILE_WRONG_TYPE 3 // a value of another type than its own

typedef struct DEVICE_SCREEN
{
    WCHAR szProfile[16];
    BOOL fLandscape; // turned a quarter: width and height swapped
    int cx;          // pixels, as the screen is turned
    int cy;
    int dpi;
    DWORD dwFallback; // DEVICE_PROFILE_...: why the first profile stands in
} DEVICE_SCREEN;

// The screen the calling program shows: the one chosen for its run, else the
// device's own, else the first profile upright (dwFallback says why). FALSE
// outside a device when no screen was chosen: the platform's answers stand.
BOOL WINAPI DeviceGetScreen(DEVICE_SCREEN* pScreen);
// Chooses the screen of the calling program's run: it and the programs it
// starts see it at once, for as long as one of them runs; the device's own
// profile is not changed. FALSE, with nothing changed, for an unknown
// profile or when the choice cannot be kept.
BOOL WINAPI DeviceSetScreen(LPCWSTR pszProfile, BOOL fLandscape);
// Drops the calling program's choice: it shows what it showed before its
// first DeviceSetScreen. Programs it started keep the choice.
void WINAPI DeviceClearScreen(void);
// The name of the known profile with this index, or NULL past the last.
LPCWSTR WINAPI DeviceProfileName(int index);
// Where the device's screen lies on the desktop: the client area of the
// Today screen's window, or the desktop's top-left corner while it is not
// showing.
void WINAPI DeviceScreenRect(RECT* pRect);
// Has the window's check boxes, radio buttons, combo boxes' buttons and date
// pickers' spin buttons drawn at the device's density (a dialog's font
// already is). Every dialog made through the core library gets it; a
// program calls it for a dialog it lays out further.
void WINAPI DeviceScaleControls(HWND hwnd);

#ifdef __cplusplus
}
#endif

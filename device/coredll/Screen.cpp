// The device's screen: the profile and orientation kept in the device
// registry answer the screen's size and density, read afresh at each question
// so that every program of the device sees a turn at once.
#include "Screen.h"

#include <devicescreen.h>

#include <cwchar>
#include <iterator>

namespace {

// Under HKEY_LOCAL_MACHINE: "Profile" (REG_SZ) and "Landscape" (REG_DWORD).
constexpr wchar_t kScreenKey[] = L"Software\\Device\\Screen";

struct Profile
{
    const wchar_t* name;
    int width; // pixels, upright
    int height;
    int dpi;
};

constexpr Profile kProfiles[] = {
    {L"qvga", 240, 320, 96},
    {L"vga", 480, 640, 192},
    {L"qvga131", 240, 320, 131},
    {L"square", 240, 240, 96},
    {L"wvga", 480, 800, 192},
};

const Profile* Find(const wchar_t* name)
{
    for (const Profile& profile : kProfiles)
        if (name && std::wcscmp(profile.name, name) == 0)
            return &profile;
    return nullptr;
}

} // namespace

namespace coredll {

bool CurrentScreen(DEVICE_SCREEN& screen)
{
    screen = {};
    DWORD size = sizeof screen.szProfile;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kScreenKey, L"Profile", RRF_RT_REG_SZ, nullptr, screen.szProfile, &size) !=
        ERROR_SUCCESS)
        return false;
    const Profile* profile = Find(screen.szProfile);
    if (!profile)
        return false;
    DWORD landscape = 0;
    size = sizeof landscape;
    RegGetValueW(HKEY_LOCAL_MACHINE, kScreenKey, L"Landscape", RRF_RT_REG_DWORD, nullptr, &landscape, &size);
    screen.fLandscape = landscape != 0;
    screen.cx = screen.fLandscape ? profile->height : profile->width;
    screen.cy = screen.fLandscape ? profile->width : profile->height;
    screen.dpi = profile->dpi;
    return true;
}

int DesktopDpi()
{
    HDC desktop = GetDC(nullptr);
    const int dpi = GetDeviceCaps(desktop, LOGPIXELSY);
    ReleaseDC(nullptr, desktop);
    return dpi;
}

} // namespace coredll

extern "C" {

BOOL WINAPI DeviceGetScreen(DEVICE_SCREEN* screen)
{
    DEVICE_SCREEN current;
    if (!coredll::CurrentScreen(current))
        return FALSE;
    if (screen)
        *screen = current;
    return TRUE;
}

BOOL WINAPI DeviceSetScreen(LPCWSTR name, BOOL landscape)
{
    const Profile* profile = Find(name);
    if (!profile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD turned = landscape ? 1 : 0;
    const DWORD nameSize = static_cast<DWORD>((std::wcslen(profile->name) + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, kScreenKey, L"Profile", REG_SZ, profile->name, nameSize) ==
               ERROR_SUCCESS &&
           RegSetKeyValueW(HKEY_LOCAL_MACHINE, kScreenKey, L"Landscape", REG_DWORD, &turned, sizeof turned) ==
               ERROR_SUCCESS;
}

void WINAPI DeviceClearScreen()
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kScreenKey);
}

LPCWSTR WINAPI DeviceProfileName(int index)
{
    return index >= 0 && index < static_cast<int>(std::size(kProfiles)) ? kProfiles[index].name : nullptr;
}

void WINAPI DeviceScreenRect(RECT* rect)
{
    if (!rect)
        return;
    DEVICE_SCREEN screen;
    const bool device = coredll::CurrentScreen(screen);
    POINT origin = {0, 0};
    if (HWND window = FindWindowW(DEVICE_SCREEN_WINDOW_CLASS, nullptr))
        ClientToScreen(window, &origin);
    const int width = device ? screen.cx : GetSystemMetrics(SM_CXSCREEN);
    const int height = device ? screen.cy : GetSystemMetrics(SM_CYSCREEN);
    *rect = RECT{origin.x, origin.y, origin.x + width, origin.y + height};
}

// The screen's size and density as the device's programs ask for them.

int WINAPI CeGetSystemMetrics(int index)
{
    DEVICE_SCREEN screen;
    if ((index == SM_CXSCREEN || index == SM_CYSCREEN) && coredll::CurrentScreen(screen))
        return index == SM_CXSCREEN ? screen.cx : screen.cy;
    return GetSystemMetrics(index);
}

int WINAPI CeGetDeviceCaps(HDC dc, int index)
{
    if (index == LOGPIXELSX || index == LOGPIXELSY) {
        const DWORD type = GetObjectType(dc);
        DEVICE_SCREEN screen;
        if ((type == OBJ_DC || type == OBJ_MEMDC) && coredll::CurrentScreen(screen))
            return screen.dpi;
    }
    return GetDeviceCaps(dc, index);
}

} // extern "C"

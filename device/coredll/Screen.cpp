// The device's screen: the screen chosen for the program's run, else the
// profile and orientation kept in the device's registry, else the first
// profile upright; read afresh at each question, so that every program of a
// run sees a turn at once.
#include "Screen.h"

#include "DeviceHive.h"
#include "ScreenRun.h"

#include <cwchar>
#include <iterator>

namespace {

struct Profile
{
    const wchar_t* name;
    int width; // pixels, upright
    int height;
    int dpi;
};

// Made from device/screen-profiles.
constexpr Profile kProfiles[] = {
#include "ScreenProfiles.inc"
};

int Find(const wchar_t* name)
{
    for (size_t i = 0; i < std::size(kProfiles); ++i)
        if (name && std::wcscmp(kProfiles[i].name, name) == 0)
            return static_cast<int>(i);
    return -1;
}

DEVICE_SCREEN ScreenOf(coredll::ScreenChoice choice, DWORD fallback)
{
    const Profile& profile = kProfiles[choice.profile];
    DEVICE_SCREEN screen = {};
    std::wcsncpy(screen.szProfile, profile.name, std::size(screen.szProfile) - 1);
    screen.fLandscape = choice.landscape;
    screen.cx = choice.landscape ? profile.height : profile.width;
    screen.cy = choice.landscape ? profile.width : profile.height;
    screen.dpi = profile.dpi;
    screen.dwFallback = fallback;
    return screen;
}

// The device's own screen from its registry; DEVICE_PROFILE_TAKEN, or why
// it cannot be taken.
DWORD ReadDeviceScreen(coredll::ScreenChoice& choice)
{
    const coredll::DeviceKey root(HKEY_LOCAL_MACHINE);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root.get(), DEVICE_SCREEN_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return DEVICE_PROFILE_MISSING;
    wchar_t name[32] = {};
    DWORD type = 0, size = sizeof name - sizeof(wchar_t);
    const LONG read = RegQueryValueExW(key, L"Profile", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    DWORD landscape = 0, landscapeType = REG_DWORD, landscapeSize = sizeof landscape;
    const LONG turned = RegQueryValueExW(key, L"Landscape", nullptr, &landscapeType,
        reinterpret_cast<BYTE*>(&landscape), &landscapeSize);
    RegCloseKey(key);

    if (read == ERROR_FILE_NOT_FOUND)
        return DEVICE_PROFILE_MISSING;
    if ((read != ERROR_SUCCESS && read != ERROR_MORE_DATA) || (turned != ERROR_SUCCESS && turned != ERROR_FILE_NOT_FOUND))
        return DEVICE_PROFILE_MISSING;
    if (type != REG_SZ || (turned == ERROR_SUCCESS && (landscapeType != REG_DWORD || landscapeSize != sizeof landscape)))
        return DEVICE_PROFILE_WRONG_TYPE;
    const int profile = read == ERROR_SUCCESS ? Find(name) : -1;
    if (profile < 0)
        return DEVICE_PROFILE_UNKNOWN;
    choice = {profile, turned == ERROR_SUCCESS && landscape != 0};
    return DEVICE_PROFILE_TAKEN;
}

} // namespace

namespace coredll {

bool CurrentScreen(DEVICE_SCREEN& screen)
{
    if (const std::optional<ScreenChoice> run = RunScreen();
        run && run->profile >= 0 && run->profile < static_cast<int>(std::size(kProfiles))) {
        screen = ScreenOf(*run, DEVICE_PROFILE_TAKEN);
        return true;
    }
    if (DeviceName().empty())
        return false;
    ScreenChoice choice = {0, false};
    const DWORD fallback = ReadDeviceScreen(choice);
    screen = ScreenOf(fallback == DEVICE_PROFILE_TAKEN ? choice : ScreenChoice{0, false}, fallback);
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
    const int profile = Find(name);
    if (profile < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return coredll::ChooseRunScreen({profile, landscape != FALSE});
}

void WINAPI DeviceClearScreen()
{
    coredll::DropRunScreen();
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

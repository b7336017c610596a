#include "ScreenChoice.h"

#include <devicescreen.h>

namespace {

std::wstring Unreadable(DWORD fallback)
{
    switch (fallback) {
    case DEVICE_PROFILE_MISSING:
        return L"the device has no screen profile";
    case DEVICE_PROFILE_UNKNOWN:
        return L"the device's screen profile is none it knows";
    case DEVICE_PROFILE_WRONG_TYPE:
        return L"the device's screen profile is not of its type";
    default:
        return L"";
    }
}

} // namespace

bool ChooseScreen(const std::wstring& profile, bool landscape, std::wstring& message)
{
    DEVICE_SCREEN device = {};
    DeviceGetScreen(&device);
    const std::wstring chosen = profile.empty() ? std::wstring(device.szProfile) : profile;
    if (profile.empty() && device.dwFallback != DEVICE_PROFILE_TAKEN)
        message = Unreadable(device.dwFallback) + L" (HKLM\\" DEVICE_SCREEN_KEY L"); it shows " + chosen +
                  L" (--profile chooses another)";
    if (!DeviceSetScreen(chosen.c_str(), landscape)) {
        message = L"cannot choose the screen " + chosen + L" (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    return true;
}

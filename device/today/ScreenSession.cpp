#include "ScreenSession.h"

namespace {

constexpr wchar_t kDefaultProfile[] = L"qvga";

} // namespace

ScreenSession::ScreenSession(const std::wstring& profile, bool landscape, std::wstring& message)
{
    hadScreen_ = DeviceGetScreen(&before_) != FALSE;
    std::wstring chosen = profile;
    if (chosen.empty() && hadScreen_)
        chosen = before_.szProfile;
    if (chosen.empty()) {
        chosen = kDefaultProfile;
        message = L"the device has no screen profile; it shows " + chosen + L" (--profile chooses another)";
    }
    DeviceSetScreen(chosen.c_str(), landscape);
}

ScreenSession::~ScreenSession()
{
    if (hadScreen_)
        DeviceSetScreen(before_.szProfile, before_.fLandscape);
    else
        DeviceClearScreen();
}

// The device's screen for one run of the Today screen: the profile asked for
// (or the device's own, or qvga when the device has none) in the orientation
// asked for, and the device's screen as it was put back when the run ends,
// so that a run leaves the device as it found it.
#pragma once

#include <devicescreen.h>

#include <string>

class ScreenSession
{
public:
    // profile may be empty; message tells what was chosen when the device had
    // no profile of its own.
    ScreenSession(const std::wstring& profile, bool landscape, std::wstring& message);
    ~ScreenSession();
    ScreenSession(const ScreenSession&) = delete;
    ScreenSession& operator=(const ScreenSession&) = delete;

private:
    bool hadScreen_ = false;
    DEVICE_SCREEN before_ = {};
};

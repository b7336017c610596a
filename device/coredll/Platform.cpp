// The device's platform: the one the run's environment names, else the
// newest, read afresh at each question.
#include <deviceplatform.h>

#include <cwchar>
#include <iterator>

namespace {

struct Platform
{
    const wchar_t* name;
    DWORD major; // Windows CE's version
    DWORD minor;
    DWORD processor;
    DWORD setupFiles;
    bool todayKeys;
    const wchar_t* title;
};

// Made from device/platforms.
constexpr Platform kPlatforms[] = {
#include "DevicePlatforms.inc"
};

void Describe(const Platform& platform, DEVICE_PLATFORM& out)
{
    out = {};
    std::wcsncpy(out.szName, platform.name, std::size(out.szName) - 1);
    std::wcsncpy(out.szTitle, platform.title, std::size(out.szTitle) - 1);
    out.dwMajorVersion = platform.major;
    out.dwMinorVersion = platform.minor;
    out.dwProcessor = platform.processor;
    out.dwSetupFiles = platform.setupFiles;
    out.fTodayKeys = platform.todayKeys;
}

} // namespace

extern "C" {

BOOL WINAPI DeviceGetPlatform(DEVICE_PLATFORM* platform)
{
    if (!platform)
        return FALSE;
    Describe(kPlatforms[std::size(kPlatforms) - 1], *platform);
    wchar_t name[32] = {};
    const DWORD length = GetEnvironmentVariableW(DEVICE_PLATFORM_VARIABLE, name, std::size(name));
    if (length == 0)
        return TRUE;
    for (const Platform& known : kPlatforms)
        if (length < std::size(name) && std::wcscmp(known.name, name) == 0) {
            Describe(known, *platform);
            return TRUE;
        }
    return FALSE;
}

LPCWSTR WINAPI DevicePlatformName(int index)
{
    return index >= 0 && index < static_cast<int>(std::size(kPlatforms)) ? kPlatforms[index].name : nullptr;
}

} // extern "C"

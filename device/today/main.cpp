// today.exe: the Today screen of the device.
#include "HostOptions.h"
#include "TodayScreen.h"

#include <deviceclock.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

int main()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv + (count > 0 ? 1 : 0), argv + count);
    LocalFree(argv);

    HostOptions options;
    const std::wstring error = ParseHostOptions(args, options);
    if (!error.empty() || options.help) {
        if (!error.empty())
            std::fprintf(stderr, "today: %ls\n", error.c_str());
        std::fprintf(stderr, "%ls", kHostUsage);
        return options.help && error.empty() ? 0 : 2;
    }
    // The device clock runs on from here for this process.
    if (options.time)
        SetLocalTime(&*options.time);
    if (options.ticks)
        DeviceSetTickCount(*options.ticks);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    {
        TodayScreen screen(options);
        exitCode = screen.Run();
    }
    CoUninitialize();
    return exitCode;
}

// today.exe: the Today screen of the device.
#include "DevicePath.h"
#include "FirstStart.h"
#include "ArmModule.h"
#include "HostOptions.h"
#include "InputScript.h"
#include "Report.h"
#include "ScreenChoice.h"
#include "TodayScreen.h"
#include "Utf8.h"

#include <deviceclock.h>
#include <deviceregistry.h>

#include <objbase.h>

#include <cstdio>
#include <fstream>
#include <utility>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A script file's text, read as UTF-8; false when it cannot be read.
bool ReadScript(const std::wstring& path, std::wstring& text)
{
    std::ifstream file(CommandLineFile(path, false).c_str(), std::ios::binary);
    if (!file)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return true;
}

} // namespace

int main()
{
    const std::vector<std::wstring> args = ProgramArguments();

    HostOptions options;
    const std::wstring error = ParseHostOptions(args, options);
    if (!error.empty() || options.help) {
        if (!error.empty())
            std::fprintf(stderr, "today: %s\n", Utf8(error).c_str());
        std::fprintf(stderr, "%s", Utf8(HostUsage()).c_str());
        return options.help && error.empty() ? 0 : 2;
    }
    // Shown without a frame at the desktop's corner on a bare X server, which
    // the device's launcher says it has made.
    options.bareDisplay = GetEnvironmentVariableW(L"DEVICE_BARE_DISPLAY", nullptr, 0) > 0;

    // The Today screen is the device's: its registry and screen are the
    // device's from here on, for it and the programs it starts.
    DeviceJoin();
    std::wstring chosen;
    ChooseScreen(options.profile, options.landscape, chosen);
    if (!chosen.empty())
        std::fprintf(stderr, "today: %s\n", Utf8(chosen).c_str());

    std::vector<InputStep> input;
    if (!options.input.empty()) {
        std::wstring script;
        if (!ReadScript(options.input, script)) {
            std::fprintf(stderr, "today: cannot read the script %ls\n", options.input.c_str());
            return 2;
        }
        const SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        const std::wstring problem = ParseInputScript(script, screen, input);
        if (!problem.empty()) {
            std::fprintf(stderr, "today: %ls: %ls\n", options.input.c_str(), problem.c_str());
            return 2;
        }
    }

    // An ARM item that stops says so in the Today screen's own lines.
    armce::SetFaultReporter(Report);

    // The device clock runs on from here for this process.
    if (options.time)
        SetLocalTime(&*options.time);
    if (options.ticks)
        DeviceSetTickCount(*options.ticks);

    // Before the screen shows, whose window the installer's setup library
    // would otherwise wait for.
    UndoUnfinishedInstallation();
    InstallRomItems();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    {
        TodayScreen screen(options, std::move(input));
        exitCode = screen.Run();
    }
    CoUninitialize();
    return exitCode;
}

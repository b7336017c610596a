// ctlpnl.exe: the device's control panel. Of its applets this device has the
// clock's alarms page, which the clock applet's argument "cplmain.cpl,16"
// (with any page number after it) opens, as does no argument at all.
// "--screenshot FILE.png" after the argument writes the page's picture.
#include "AlarmsPage.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace {

bool IsClockApplet(const std::wstring& argument)
{
    const std::wstring applet = L"cplmain.cpl,16";
    if (argument.size() < applet.size() ||
        CompareStringOrdinal(argument.c_str(), static_cast<int>(applet.size()), applet.c_str(),
            static_cast<int>(applet.size()), TRUE) != CSTR_EQUAL)
        return false;
    return argument.size() == applet.size() || argument[applet.size()] == L',';
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring argument = count > 1 ? argv[1] : L"";
    std::wstring screenshot;
    for (int i = 1; i + 1 < count; ++i)
        if (std::wstring(argv[i]) == L"--screenshot")
            screenshot = argv[i + 1];
    LocalFree(argv);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    if (!argument.empty() && argument != L"--screenshot" && !IsClockApplet(argument)) {
        const std::wstring text = L"На этом устройстве нет такого апплета: " + argument +
                                  L"\nЕсть только будильники часов (cplmain.cpl,16).";
        MessageBoxW(nullptr, text.c_str(), L"Панель управления", MB_OK | MB_ICONINFORMATION);
        return 2;
    }
    return RunAlarmsPage(instance, screenshot) ? 0 : 1;
}

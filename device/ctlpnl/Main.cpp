// ctlpnl.exe: the device's control panel. Of its applets this device has the
// clock's alarms page and the Today screen's items page.
#include "AlarmsPage.h"
#include "ArmModule.h"
#include "Command.h"
#include "DevicePath.h"
#include "TodayItemsPage.h"
#include "Utf8.h"

#include <deviceregistry.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // The control panel is the device's: its registry and screen are.
    DeviceJoin();
    armce::SetFaultReporter([](const std::wstring& line) { std::fprintf(stderr, "ctlpnl: %s\n", Utf8(line).c_str()); });
    const std::vector<std::wstring> args = ProgramArguments();

    ControlPanelCommand command;
    const std::wstring problem = ParseControlPanelCommand(args, command);
    if (!problem.empty()) {
        std::fprintf(stderr, "ctlpnl: %s\n", Utf8(problem).c_str());
        return 2;
    }
    if (command.opens == Applet::kNone) {
        MessageBoxW(nullptr, NoSuchAppletMessage(command.applet).c_str(), L"Панель управления",
            MB_OK | MB_ICONINFORMATION);
        return 2;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const Page page = command.opens == Applet::kTodayItems ? TodayItemsPage() : AlarmsPage();
    if (!command.screenshot.empty()) {
        const std::wstring error = WritePagePicture(instance, page, command.screenshot);
        if (!error.empty()) {
            std::fprintf(stderr, "ctlpnl: screenshot %s: %s\n", Utf8(command.screenshot).c_str(), Utf8(error).c_str());
            return 1;
        }
        return 0;
    }
    return RunPage(instance, page) ? 0 : 1;
}

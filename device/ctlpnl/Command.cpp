#include "Command.h"

#include <windows.h>

namespace {

constexpr wchar_t kClockApplet[] = L"cplmain.cpl,16";

bool IsClockApplet(const std::wstring& argument)
{
    const std::wstring applet = kClockApplet;
    if (argument.size() < applet.size() ||
        CompareStringOrdinal(argument.c_str(), static_cast<int>(applet.size()), applet.c_str(),
            static_cast<int>(applet.size()), TRUE) != CSTR_EQUAL)
        return false;
    return argument.size() == applet.size() || argument[applet.size()] == L',';
}

} // namespace

std::wstring ParseControlPanelCommand(const std::vector<std::wstring>& args, ControlPanelCommand& command)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--screenshot") {
            if (i + 1 == args.size())
                return L"--screenshot needs a file name";
            command.screenshot = args[++i];
        } else if (arg.rfind(L"--", 0) == 0) {
            return L"unknown option: " + arg;
        } else if (command.applet.empty()) {
            command.applet = arg;
        } else {
            return L"one argument too many: " + arg;
        }
    }
    command.clockApplet = command.applet.empty() || IsClockApplet(command.applet);
    return L"";
}

std::wstring NoSuchAppletMessage(const std::wstring& applet)
{
    return L"На этом устройстве нет такого апплета: " + applet + L"\nЕсть только будильники часов (" + kClockApplet +
           L").";
}

#include "Command.h"

#include <windows.h>

namespace {

constexpr wchar_t kClockApplet[] = L"cplmain.cpl,16";
constexpr wchar_t kTodayApplet[] = L"cplmain.cpl,2";

// The argument names the applet, with or without a page number after it.
bool Names(const std::wstring& argument, const std::wstring& applet)
{
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
    if (command.applet.empty() || Names(command.applet, kClockApplet))
        command.opens = Applet::kClock;
    else if (Names(command.applet, kTodayApplet))
        command.opens = Applet::kTodayItems;
    else
        command.opens = Applet::kNone;
    return L"";
}

std::wstring NoSuchAppletMessage(const std::wstring& applet)
{
    return L"На этом устройстве нет такого апплета: " + applet + L"\nЕсть только будильники часов (" + kClockApplet +
           L") и элементы экрана «Сегодня» (" + kTodayApplet + L").";
}

// ctlpnl.exe's command line: an applet argument, and "--screenshot FILE.png",
// which writes the page's picture. The device has two applets: the clock's
// alarms ("cplmain.cpl,16", which no argument opens as well) and the Today
// items ("cplmain.cpl,2"), each with any page number after it. (Applet
// numbers differ from device to device; these are this device's.)
#pragma once

#include <string>
#include <vector>

enum class Applet
{
    kClock,
    kTodayItems,
    kNone, // one the device does not have
};

struct ControlPanelCommand
{
    std::wstring applet;          // as given; empty for none
    Applet opens = Applet::kClock; // what the applet argument names
    std::wstring screenshot;      // --screenshot
};

// Parses the arguments after the program name. Returns an error message, or
// an empty string when the command line is good (whichever applet it names).
std::wstring ParseControlPanelCommand(const std::vector<std::wstring>& args, ControlPanelCommand& command);

// What the device tells its user of an applet it does not have.
std::wstring NoSuchAppletMessage(const std::wstring& applet);

// ctlpnl.exe's command line: an applet argument (the device has the clock's,
// "cplmain.cpl,16" with any page number after it, which no argument opens as
// well), and "--screenshot FILE.png", which writes the page's picture.
#pragma once

#include <string>
#include <vector>

struct ControlPanelCommand
{
    std::wstring applet;     // as given; empty for none
    bool clockApplet = true; // the applet is the clock's
    std::wstring screenshot; // --screenshot
};

// Parses the arguments after the program name. Returns an error message, or
// an empty string when the command line is good (whichever applet it names).
std::wstring ParseControlPanelCommand(const std::vector<std::wstring>& args, ControlPanelCommand& command);

// What the device tells its user of an applet it does not have.
std::wstring NoSuchAppletMessage(const std::wstring& applet);

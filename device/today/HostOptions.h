// The Today screen's command line.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct HostOptions
{
    std::optional<SYSTEMTIME> time; // --time: the device clock before the items load
    std::optional<DWORD> ticks;     // --ticks: the device's tick count at start
    std::wstring screenshot;        // --screenshot: write the screen there and exit
    std::wstring options;           // --options: open this item's options at start
    std::wstring input;             // --input: a script of device input to play
    std::wstring profile;           // --profile: the device's screen
    bool landscape = false;         // --landscape: the screen turned at start
    bool bareDisplay = false;       // the desktop is a bare X server
    bool help = false;
};

// Parses the arguments after the program name. Returns an error message, or
// an empty string when the command line is good.
std::wstring ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options);

std::wstring HostUsage();

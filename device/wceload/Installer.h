// The device's CAB installer: a CAB installed as a Pocket PC installs it,
// its setup library called around it, and removed again by its record.
#pragma once

#include <string>
#include <vector>

struct Outcome
{
    bool done = false;
    std::vector<std::wstring> lines; // what the user is told, a line each
};

// Installs the CAB at cabPath (a desktop path); an application installed
// before is replaced (an upgrade).
Outcome InstallCab(const std::wstring& cabPath);

// Removes the installed application appName.
Outcome Uninstall(const std::wstring& appName);

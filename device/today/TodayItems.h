// The Today items registered in the device, as the Pocket PC shell finds them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TodayItemEntry
{
    std::wstring name;
    std::wstring dll;
    DWORD order = 0;
    bool enabled = false;
    bool options = false;
    DWORD type = 0;
};

// HKLM\Software\Microsoft\Today\Items\<name>, sorted by "Order".
std::vector<TodayItemEntry> ReadTodayItems();

// Registers the device's Today items that lie beside this program, as the
// device's set-up does, and returns them.
std::vector<TodayItemEntry> RegisterItemsBeside();

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
    DWORD selectability = 0; // TODAY_SELECTABILITY_...
};

// How long a program that changed the items' entries waits for a running
// Today screen to reload them. A reload is quick, but a busy machine may keep
// the screen from the message for seconds, and a message it has not taken
// when the wait ends is lost.
constexpr UINT kTodayReloadWaitMs = 30000;

// HKLM\Software\Microsoft\Today\Items\<name>, sorted by "Order".
std::vector<TodayItemEntry> ReadTodayItems();

// Writes where an item stands on the Today screen: shown or not, and its
// place among the items; false when the item's entry cannot be written.
bool WriteTodayItemPlace(const std::wstring& name, bool enabled, DWORD order);

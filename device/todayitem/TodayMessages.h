// The Today screen's record and messages as they cross to an item the device
// runs on its emulated ARM processor, in the 32-bit layout a Pocket PC's
// item reads.
#pragma once

#include <ArmMachine.h>

#include <todaycmn.h>

#include <windows.h>

namespace todayitem {

struct TODAYLISTITEM32
{
    WCHAR szName[32];
    DWORD tlit, dwOrder, cyp;
    BOOL fEnabled, fOptions;
    DWORD grflags;
    WCHAR szDLLPath[MAX_PATH];
    armce::GuestPtr hinstDLL, hwndCustom;
    BOOL fSizeOnDraw;
    armce::GuestPtr prgbCachedData;
    DWORD cbCachedData;
};

struct TODAYDRAWWATERMARKINFO32
{
    armce::GuestPtr hdc;
    RECT rc;
    armce::GuestPtr hwnd;
};

static_assert(sizeof(TODAYLISTITEM32) == 628 && sizeof(TODAYDRAWWATERMARKINFO32) == 24);

// A Today item's record in the guest's layout, and back what the item may
// change in it: its height, flags and cached data.
void TodayItemToGuest(const TODAYLISTITEM& host, TODAYLISTITEM32& guest);
void TodayItemFromGuest(const TODAYLISTITEM32& guest, TODAYLISTITEM& host);

// The rules for the Today screen's messages: those it sends its items, and
// those an item sends the host window, whose class is hostClass.
void AddTodayMessageRules(HWND host);

} // namespace todayitem

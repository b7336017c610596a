// What the small test items (tests/device/today/testitem) note in the
// device's registry of what they were told: under HKCU\Software\TestItems,
// how often each item class was told WM_TODAYCUSTOM_CLEARCACHE, and under
// each class's own key, how often it heard each message and with what.
#pragma once

#include "DeviceRoot.h"

#include <string>

constexpr wchar_t kTestItemsKey[] = L"Software\\TestItems";

inline DWORD ClearCacheCount(const wchar_t* itemClass)
{
    return DeviceNumber(HKEY_CURRENT_USER, kTestItemsKey, itemClass);
}

inline DWORD TestItemNote(const wchar_t* itemClass, const std::wstring& name)
{
    return DeviceNumber(HKEY_CURRENT_USER, std::wstring(kTestItemsKey) + L"\\" + itemClass, name);
}

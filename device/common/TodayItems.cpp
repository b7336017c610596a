#include "TodayItems.h"

#include "OwnedHandle.h"
#include "RegistryValues.h"

#include <todaycmn.h>

#include <algorithm>

namespace {

constexpr wchar_t kItemsKey[] = L"Software\\Microsoft\\Today\\Items";

} // namespace

std::vector<TodayItemEntry> ReadTodayItems()
{
    std::vector<TodayItemEntry> items;
    UniqueKey itemsKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kItemsKey, 0, KEY_READ, itemsKey.Receive()) != ERROR_SUCCESS)
        return items;
    for (const std::wstring& name : SubKeyNames(itemsKey.Get())) {
        UniqueKey itemKey;
        if (RegOpenKeyExW(itemsKey.Get(), name.c_str(), 0, KEY_READ, itemKey.Receive()) != ERROR_SUCCESS)
            continue;
        TodayItemEntry item;
        item.name = name;
        item.dll = ReadText(itemKey.Get(), L"DLL");
        item.order = ReadNumber(itemKey.Get(), L"Order", 0);
        item.enabled = ReadNumber(itemKey.Get(), L"Enabled", 0) != 0;
        item.options = ReadNumber(itemKey.Get(), L"Options", 0) != 0;
        item.type = ReadNumber(itemKey.Get(), L"Type", 0);
        item.selectability = ReadNumber(itemKey.Get(), L"Selectability", TODAY_SELECTABILITY_NONE);
        items.push_back(item);
    }
    std::stable_sort(items.begin(), items.end(),
        [](const TodayItemEntry& a, const TodayItemEntry& b) { return a.order < b.order; });
    return items;
}

bool WriteTodayItemPlace(const std::wstring& name, bool enabled, DWORD order)
{
    UniqueKey item;
    const std::wstring key = std::wstring(kItemsKey) + L"\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, item.Receive()) != ERROR_SUCCESS)
        return false;
    const DWORD shown = enabled ? 1 : 0;
    return RegSetValueExW(item.Get(), L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&shown),
               sizeof shown) == ERROR_SUCCESS &&
           RegSetValueExW(item.Get(), L"Order", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&order), sizeof order) ==
               ERROR_SUCCESS;
}

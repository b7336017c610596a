#include "TodayItems.h"

#include <todaycmn.h>

#include <algorithm>

namespace {

constexpr wchar_t kItemsKey[] = L"Software\\Microsoft\\Today\\Items";

DWORD ReadNumber(HKEY key, const wchar_t* name, DWORD fallback)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return value;
}

std::wstring ReadText(HKEY key, const wchar_t* name)
{
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return L"";
    return text;
}

} // namespace

std::vector<TodayItemEntry> ReadTodayItems()
{
    std::vector<TodayItemEntry> items;
    HKEY itemsKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kItemsKey, 0, KEY_READ, &itemsKey) != ERROR_SUCCESS)
        return items;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(itemsKey, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY itemKey = nullptr;
        if (RegOpenKeyExW(itemsKey, name, 0, KEY_READ, &itemKey) != ERROR_SUCCESS)
            continue;
        TodayItemEntry item;
        item.name = name;
        item.dll = ReadText(itemKey, L"DLL");
        item.order = ReadNumber(itemKey, L"Order", 0);
        item.enabled = ReadNumber(itemKey, L"Enabled", 0) != 0;
        item.options = ReadNumber(itemKey, L"Options", 0) != 0;
        item.type = ReadNumber(itemKey, L"Type", 0);
        item.selectability = ReadNumber(itemKey, L"Selectability", TODAY_SELECTABILITY_NONE);
        RegCloseKey(itemKey);
        items.push_back(item);
    }
    RegCloseKey(itemsKey);
    std::stable_sort(items.begin(), items.end(),
        [](const TodayItemEntry& a, const TodayItemEntry& b) { return a.order < b.order; });
    return items;
}

bool WriteTodayItemPlace(const std::wstring& name, bool enabled, DWORD order)
{
    HKEY item = nullptr;
    const std::wstring key = std::wstring(kItemsKey) + L"\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &item) != ERROR_SUCCESS)
        return false;
    const DWORD shown = enabled ? 1 : 0;
    const bool written = RegSetValueExW(item, L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&shown),
                             sizeof shown) == ERROR_SUCCESS &&
                         RegSetValueExW(item, L"Order", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&order),
                             sizeof order) == ERROR_SUCCESS;
    RegCloseKey(item);
    return written;
}

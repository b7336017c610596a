#include "LoadedItem.h"

#include <devicefiles.h>

#include <cwchar>
#include <iterator>

LoadedItem::LoadedItem(const TodayItemEntry& entry) : entry_(entry)
{
    std::wcsncpy(record_.szName, entry.name.c_str(), std::size(record_.szName) - 1);
    std::wcsncpy(record_.szDLLPath, entry.dll.c_str(), std::size(record_.szDLLPath) - 1);
    record_.tlit = entry.type;
    record_.dwOrder = entry.order;
    record_.fEnabled = entry.enabled;
    record_.fOptions = entry.options;
}

LoadedItem::~LoadedItem()
{
    if (record_.hwndCustom && IsWindow(record_.hwndCustom))
        DestroyWindow(record_.hwndCustom);
}

bool LoadedItem::Initialize(HWND host, std::wstring& error)
{
    // The registry names the module as the device does ("\Windows\...").
    wchar_t path[MAX_PATH];
    module_.reset(DeviceFilePath(entry_.dll.c_str(), path, MAX_PATH) ? LoadLibraryW(path) : nullptr);
    if (!module_) {
        error = L"cannot load " + entry_.dll + L" (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    record_.hinstDLL = module_.get();
    const auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void*>(GetProcAddress(module_.get(), MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
    if (!initialize) {
        error = entry_.dll + L" has no export " + std::to_wstring(ORDINAL_INITIALIZEITEM);
        return false;
    }
    record_.hwndCustom = initialize(&record_, host);
    if (!record_.hwndCustom) {
        error = L"it made no window";
        return false;
    }
    return true;
}

bool LoadedItem::QueryRefresh()
{
    if (!record_.hwndCustom)
        return false;
    return Send(WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record_)) != FALSE;
}

void LoadedItem::ClearCache()
{
    Send(WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(&record_));
}

LRESULT LoadedItem::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return record_.hwndCustom ? SendMessageW(record_.hwndCustom, message, wParam, lParam) : 0;
}

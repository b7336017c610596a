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
    if (!DeviceFilePath(entry_.dll.c_str(), path, MAX_PATH)) {
        error = L"cannot load " + entry_.dll;
        return false;
    }
    module_ = ItemModule::Load(path, entry_.dll, error);
    if (!module_) {
        if (error.rfind(L"cannot load", 0) != 0)
            error = L"cannot load " + entry_.dll + L": " + error;
        return false;
    }
    record_.hinstDLL = module_->Instance();
    const HWND window = module_->Initialize(&record_, host);
    if (!window) {
        error = module_->Stopped() ? L"" : L"it made no window";
        return false;
    }
    // An item's window is a child it made of the Today screen's: not the
    // screen, nor a window of another's, which are not the item's to end.
    if (window == host || GetParent(window) != host || (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
        error = L"its window is not a child of the Today screen";
        return false;
    }
    record_.hwndCustom = window;
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

// One custom Today item: its module, the shell's record of it and its window.
#pragma once

#include "TodayItems.h"

#include <todaycmn.h>

#include <memory>
#include <string>

class LoadedItem
{
public:
    explicit LoadedItem(const TodayItemEntry& entry);
    ~LoadedItem();
    LoadedItem(const LoadedItem&) = delete;
    LoadedItem& operator=(const LoadedItem&) = delete;

    // Loads the module and calls its initialisation export; false with a
    // reason when there is no item window afterwards.
    bool Initialize(HWND host, std::wstring& error);

    const TodayItemEntry& Entry() const { return entry_; }
    HWND Window() const { return record_.hwndCustom; }
    HMODULE Module() const { return module_.get(); }
    int Height() const { return static_cast<int>(record_.cyp); }

    // The shell's refresh query; true when the item changed.
    bool QueryRefresh();
    // The shell's word that the item is about to be reloaded.
    void ClearCache();
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    struct ModuleDeleter
    {
        void operator()(HMODULE module) const { FreeLibrary(module); }
    };

    TodayItemEntry entry_;
    // The destructor destroys the item window before the module is freed.
    std::unique_ptr<HINSTANCE__, ModuleDeleter> module_;
    TODAYLISTITEM record_ = {};
};

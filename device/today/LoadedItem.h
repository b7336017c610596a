// One custom Today item: its module (for this processor or for ARM), the
// shell's record of it and its window.
#pragma once

#include "ItemModule.h"
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
    // reason when there is no item window afterwards (an empty reason when
    // the module said why itself: an ARM module that stopped).
    bool Initialize(HWND host, std::wstring& error);

    const TodayItemEntry& Entry() const { return entry_; }
    HWND Window() const { return record_.hwndCustom; }
    // Forgets a window that turned out not to be the item's own.
    void Disown() { record_.hwndCustom = nullptr; }
    ItemModule& Module() const { return *module_; }
    int Height() const { return static_cast<int>(record_.cyp); }
    // An ARM item stopped by a fault: it answers nothing any more.
    bool Stopped() const { return module_ && module_->Stopped(); }

    // The shell's refresh query; true when the item changed.
    bool QueryRefresh();
    // The shell's word that the item is about to be reloaded.
    void ClearCache();
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    TodayItemEntry entry_;
    // The destructor destroys the item window before the module goes.
    std::unique_ptr<ItemModule> module_;
    TODAYLISTITEM record_ = {};
};

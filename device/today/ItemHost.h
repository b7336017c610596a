// The Today screen's side of its contract with its items: it loads the
// registered items as the shell does, gives each its place below the title
// bar, asks them for a refresh, answers their requests for its colours and
// its background, moves the selection between them with the up and down
// keys as each item's Selectability allows, passes the keys to the selected
// item, opens an item's options as the Today settings page does, and reloads
// the items when their entries or options changed.
#pragma once

#include "LoadedItem.h"
#include "ScreenLayout.h"

#include <memory>
#include <string>
#include <vector>

class ItemHost
{
public:
    ItemHost(HWND host, const ScreenLayout& layout);
    ItemHost(const ItemHost&) = delete;
    ItemHost& operator=(const ItemHost&) = delete;

    // Loads the registered items (registering those beside the program when
    // none is); an item that cannot be shown is skipped with a line naming
    // it. False when no item can be shown.
    bool Load();
    // The items unloaded and loaded again, each first told to drop its cache.
    // While the host is in a call to an item (a modal loop of the item's may
    // dispatch the broadcast that asks for it), the items stay as they are
    // and the reload comes when the call has returned.
    void Reload();
    // Asks every item for a refresh and lays out again those that changed;
    // nothing while the host is in a call to an item.
    void Refresh();
    // Gives every item its place at the screen's width.
    void Layout();

    // TODAYM_GETCOLOR and TODAYM_DRAWWATERMARK from an item.
    LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam) const;
    // A key pressed on the Today screen; false when it is not the host's.
    bool OnKey(WPARAM key);
    // The options of the item with this name, or of the selected one (of
    // the first with options while none is selected).
    bool OpenOptions(const std::wstring& name);
    bool OpenSelectedOptions();
    bool SelectedHasOptions() const;
    bool Has(const std::wstring& name) const;
    // Whether an item shown runs on the emulated ARM processor.
    bool HasArmItems() const;
    // An ARM item stopped and is still on the screen.
    bool HasStoppedItems() const;

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    // Marks the host as in a call to its items, for as long as it lives.
    class Busy
    {
    public:
        explicit Busy(ItemHost& host) : host_(host) { ++host_.busy_; }
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        ItemHost& host_;
    };

    bool OpenOptions(size_t index);
    // A window one of the items loaded holds.
    bool Holds(HWND window) const;
    void RefreshItems();
    size_t OptionsItem() const;
    DWORD Selectability(size_t index) const;
    // The selection moved towards key (VK_UP or VK_DOWN) to the next item
    // that takes it; where none does, it stays.
    void MoveSelection(WPARAM key);
    bool Takes(size_t index, WPARAM key) const;
    void Select(size_t index);
    // The top of the place of the item with this index.
    int SlotTop(size_t index) const;

    HWND host_;
    const ScreenLayout& layout_;
    std::vector<std::unique_ptr<LoadedItem>> items_;
    size_t selected_ = kNone;
    const bool selectsItems_; // the platform's Today screen selects items
    bool loading_ = false; // an item is being initialised
    int busy_ = 0;
    bool reloadPending_ = false;
    bool followingReload_ = false; // the reload that follows one asked for while busy runs
};

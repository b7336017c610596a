#include "ItemHost.h"

#include "Report.h"

#include <deviceplatform.h>

#include <algorithm>
#include <utility>

namespace {

constexpr wchar_t kItemsKeyName[] = L"HKLM\\Software\\Microsoft\\Today\\Items";
// Whether the platform's Today screen gives its items the selection and its
// keys (Selectability and the WM_TODAYCUSTOM_ selection, navigation and
// action messages, Windows Mobile 5.0 and later); the older ones leave every
// item to the stylus.
bool PlatformSelectsItems()
{
    DEVICE_PLATFORM platform = {};
    DeviceGetPlatform(&platform);
    return platform.fTodayKeys != FALSE;
}

} // namespace

ItemHost::ItemHost(HWND host, const ScreenLayout& layout)
    : host_(host), layout_(layout), selectsItems_(PlatformSelectsItems())
{
}

ItemHost::Busy::~Busy()
{
    if (--host_.busy_ == 0 && host_.reloadPending_) {
        host_.reloadPending_ = false;
        const bool wasFollowing = std::exchange(host_.followingReload_, true);
        host_.Reload();
        host_.followingReload_ = wasFollowing;
    }
}

bool ItemHost::Load()
{
    const Busy busy(*this);
    const std::vector<TodayItemEntry> entries = ReadTodayItems();
    for (const TodayItemEntry& entry : entries) {
        if (!entry.enabled || entry.type != TLIT_CUSTOM || entry.dll.empty())
            continue;
        auto item = std::make_unique<LoadedItem>(entry);
        std::wstring error;
        loading_ = true;
        const bool initialized = item->Initialize(host_, error);
        loading_ = false;
        if (initialized && Holds(item->Window())) {
            error = L"its window is another item's";
            item->Disown();
        }
        if (!initialized || !error.empty()) {
            // An ARM item that stopped has said so in its own line.
            if (!error.empty())
                Report(L"the Today item " + entry.name + L" is left out: " + error);
            continue;
        }
        items_.push_back(std::move(item));
    }
    if (items_.empty()) {
        Report(std::wstring(L"no Today item can be shown (") + kItemsKeyName + L")");
        return false;
    }
    Layout();
    return true;
}

void ItemHost::Reload()
{
    // Asked for while busy, a reload follows once the host is done. An item
    // that asks for one as it is loaded would have the screen reload for
    // ever: what it asks while the reload that followed loads is that same
    // reload.
    if (busy_) {
        if (!(loading_ && followingReload_))
            reloadPending_ = true;
        return;
    }
    const Busy busy(*this);
    for (const auto& item : items_)
        item->ClearCache();
    items_.clear();
    selected_ = kNone;
    // A screen whose items have all gone lives on, empty, as the shell's does.
    if (Load())
        RefreshItems();
    RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ItemHost::Refresh()
{
    if (busy_)
        return;
    const Busy busy(*this);
    RefreshItems();
}

void ItemHost::RefreshItems()
{
    // An ARM item that stopped (it has said so) leaves the screen; the
    // others close up.
    const size_t before = items_.size();
    std::erase_if(items_, [](const std::unique_ptr<LoadedItem>& item) { return item->Stopped(); });
    bool changed = items_.size() != before;
    if (changed)
        selected_ = kNone;
    for (const auto& item : items_) {
        if (item->QueryRefresh()) {
            changed = true;
            InvalidateRect(item->Window(), nullptr, TRUE);
        }
    }
    if (changed) {
        Layout();
        InvalidateRect(host_, nullptr, TRUE);
    }
}

void ItemHost::Layout()
{
    const Busy busy(*this);
    for (size_t i = 0; i < items_.size(); ++i)
        SetWindowPos(items_[i]->Window(), nullptr, 0, SlotTop(i), layout_.Width(), items_[i]->Height(),
            SWP_NOZORDER | SWP_NOACTIVATE);
}

int ItemHost::SlotTop(size_t index) const
{
    int top = layout_.ItemsTop();
    for (size_t i = 0; i < index && i < items_.size(); ++i)
        top += items_[i]->Height();
    return top;
}

LRESULT ItemHost::Answer(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (message == TODAYM_GETCOLOR)
        return layout_.Look().Color(wParam);
    if (message != TODAYM_DRAWWATERMARK || !lParam)
        return 0;
    const auto& info = *reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam);
    // The background of the asking item's place on the screen. An item draws
    // before it has its place (while it initialises, its window stands at the
    // top); it gets the place it is about to take.
    POINT origin = {0, SlotTop(items_.size())};
    bool found = loading_;
    for (size_t i = 0; i < items_.size() && !found; ++i) {
        if (items_[i]->Window() == info.hwnd) {
            origin.y = SlotTop(i);
            found = true;
        }
    }
    if (!found && info.hwnd && IsWindow(info.hwnd)) {
        origin = {0, 0};
        MapWindowPoints(info.hwnd, host_, &origin, 1);
    }
    // An item the screen selects by itself is shown selected by its background.
    if (selected_ != kNone && items_[selected_]->Window() == info.hwnd &&
        Selectability(selected_) == TODAY_SELECTABILITY_BY_SCREEN)
        layout_.Look().PaintHighlight(info.hdc, info.rc);
    else
        layout_.Look().PaintBackground(info.hdc, info.rc, origin);
    return TRUE;
}

DWORD ItemHost::Selectability(size_t index) const
{
    return selectsItems_ ? items_[index]->Entry().selectability : TODAY_SELECTABILITY_NONE;
}

bool ItemHost::OnKey(WPARAM key)
{
    const Busy busy(*this);
    const bool toItem = selected_ != kNone && Selectability(selected_) == TODAY_SELECTABILITY_BY_ITEM;
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        // An item told of the key keeps the selection when it handles it.
        if (!toItem || !items_[selected_]->Send(WM_TODAYCUSTOM_USERNAVIGATION, key))
            MoveSelection(key);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        if (toItem)
            items_[selected_]->Send(WM_TODAYCUSTOM_USERNAVIGATION, key);
        return true;
    case VK_RETURN:
        if (toItem) {
            items_[selected_]->Send(WM_TODAYCUSTOM_ACTION, VK_RETURN);
        } else if (selected_ != kNone) {
            // The action key on an item the screen selects is a tap on it.
            items_[selected_]->Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
            items_[selected_]->Send(WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        }
        return true;
    case VK_F2:
        OpenSelectedOptions();
        return true;
    default:
        return false;
    }
}

void ItemHost::MoveSelection(WPARAM key)
{
    const bool down = key == VK_DOWN;
    // From the selected item, or from beyond the end the key moves away from.
    size_t index = selected_ != kNone ? selected_ : down ? kNone : items_.size();
    for (;;) {
        index = down ? index + 1 : index - 1;
        if (index >= items_.size())
            return;
        if (Takes(index, key)) {
            Select(index);
            return;
        }
    }
}

bool ItemHost::Takes(size_t index, WPARAM key) const
{
    switch (Selectability(index)) {
    case TODAY_SELECTABILITY_BY_SCREEN:
        return true;
    case TODAY_SELECTABILITY_BY_ITEM:
        return items_[index]->Send(WM_TODAYCUSTOM_RECEIVEDSELECTION, key) != FALSE;
    default:
        return false;
    }
}

void ItemHost::Select(size_t index)
{
    const size_t previous = selected_;
    selected_ = index;
    if (previous != kNone && previous != index) {
        if (Selectability(previous) == TODAY_SELECTABILITY_BY_ITEM)
            items_[previous]->Send(WM_TODAYCUSTOM_LOSTSELECTION);
        InvalidateRect(items_[previous]->Window(), nullptr, TRUE);
    }
    // Every change of the selection repaints the items it concerns.
    InvalidateRect(items_[index]->Window(), nullptr, TRUE);
    const RECT bar = layout_.SoftKeyBar();
    InvalidateRect(host_, &bar, FALSE);
}

bool ItemHost::HasArmItems() const
{
    for (const auto& item : items_)
        if (item->Module().IsArm())
            return true;
    return false;
}

bool ItemHost::Has(const std::wstring& name) const
{
    for (const auto& item : items_)
        if (item->Entry().name == name)
            return true;
    return false;
}

bool ItemHost::HasStoppedItems() const
{
    return std::any_of(items_.begin(), items_.end(), [](const auto& item) { return item->Stopped(); });
}

bool ItemHost::Holds(HWND window) const
{
    return std::any_of(items_.begin(), items_.end(), [&](const auto& item) { return item->Window() == window; });
}

size_t ItemHost::OptionsItem() const
{
    if (selected_ != kNone)
        return selected_;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Entry().options)
            return i;
    return kNone;
}

bool ItemHost::SelectedHasOptions() const
{
    const size_t index = OptionsItem();
    return index != kNone && items_[index]->Entry().options;
}

bool ItemHost::OpenSelectedOptions()
{
    return OpenOptions(OptionsItem());
}

bool ItemHost::OpenOptions(const std::wstring& name)
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Entry().name == name)
            return OpenOptions(i);
    return false;
}

bool ItemHost::OpenOptions(size_t index)
{
    if (index >= items_.size() || !items_[index]->Entry().options)
        return false;
    const Busy busy(*this);
    const std::wstring name = items_[index]->Entry().name;
    // Changed options reach the items as the Pocket PC's Today screen brings
    // them: it reloads its items, telling each to drop what it holds first.
    const INT_PTR result = items_[index]->Module().RunOptions(host_);
    if (result == -1) {
        Report(name + L" has no options dialog");
        return false;
    }
    if (result == IDOK)
        Reload();
    return true;
}

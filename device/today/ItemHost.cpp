#include "ItemHost.h"

#include "Report.h"
#include "resource.h"

namespace {

constexpr wchar_t kItemsKeyName[] = L"HKLM\\Software\\Microsoft\\Today\\Items";

} // namespace

ItemHost::ItemHost(HWND host, const ScreenLayout& layout) : host_(host), layout_(layout)
{
}

bool ItemHost::Load()
{
    std::vector<TodayItemEntry> entries = ReadTodayItems();
    if (entries.empty()) {
        entries = RegisterItemsBeside();
        for (const TodayItemEntry& entry : entries)
            Report(L"no Today items were registered; registered " + entry.name + L" (" + entry.dll + L")");
    }
    for (const TodayItemEntry& entry : entries) {
        if (!entry.enabled || entry.type != TLIT_CUSTOM || entry.dll.empty())
            continue;
        auto item = std::make_unique<LoadedItem>(entry);
        std::wstring error;
        loading_ = true;
        const bool initialized = item->Initialize(host_, error);
        loading_ = false;
        if (!initialized) {
            Report(L"the Today item " + entry.name + L" is left out: " + error);
            continue;
        }
        items_.push_back(std::move(item));
    }
    if (items_.empty()) {
        Report(std::wstring(L"no Today item can be shown (") + kItemsKeyName + L", and none beside today.exe)");
        return false;
    }
    Layout();
    return true;
}

void ItemHost::Reload()
{
    for (const auto& item : items_)
        item->ClearCache();
    items_.clear();
    selected_ = 0;
    // A screen whose items have all gone lives on, empty, as the shell's does.
    if (Load())
        Refresh();
    RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ItemHost::Refresh()
{
    bool changed = false;
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
    layout_.Look().PaintBackground(info.hdc, info.rc, origin);
    return TRUE;
}

bool ItemHost::OnKey(WPARAM key)
{
    switch (key) {
    case VK_UP:
        if (selected_ > 0 && selected_ < items_.size())
            Select(selected_ - 1, key);
        return true;
    case VK_DOWN:
        if (selected_ + 1 < items_.size())
            Select(selected_ + 1, key);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        if (selected_ < items_.size())
            items_[selected_]->Send(WM_TODAYCUSTOM_USERNAVIGATION, key);
        return true;
    case VK_RETURN:
        if (selected_ < items_.size())
            items_[selected_]->Send(WM_TODAYCUSTOM_ACTION);
        return true;
    case VK_F2:
        OpenSelectedOptions();
        return true;
    default:
        return false;
    }
}

void ItemHost::Select(size_t index, WPARAM key)
{
    items_[selected_]->Send(WM_TODAYCUSTOM_LOSTSELECTION);
    selected_ = index;
    items_[selected_]->Send(WM_TODAYCUSTOM_RECEIVEDSELECTION, key);
    const RECT bar = layout_.SoftKeyBar();
    InvalidateRect(host_, &bar, FALSE);
}

bool ItemHost::Has(const std::wstring& name) const
{
    for (const auto& item : items_)
        if (item->Entry().name == name)
            return true;
    return false;
}

bool ItemHost::SelectedHasOptions() const
{
    return selected_ < items_.size() && items_[selected_]->Entry().options;
}

bool ItemHost::OpenSelectedOptions()
{
    return OpenOptions(selected_);
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
    const HMODULE module = items_[index]->Module();
    const auto procedure = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC))));
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), RT_DIALOG);
    const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, resource)));
    if (!procedure || !dialog) {
        Report(items_[index]->Entry().name + L" has no options dialog");
        return false;
    }
    // Changed options reach the items as the Pocket PC's Today screen brings
    // them: it reloads its items, telling each to drop what it holds first.
    if (DialogBoxIndirectParamW(module, dialog, host_, procedure, 0) == IDOK)
        Reload();
    return true;
}

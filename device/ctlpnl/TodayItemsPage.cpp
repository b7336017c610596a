#include "TodayItemsPage.h"

#include "ItemModule.h"
#include "Page.h"
#include "TodayItems.h"
#include "TodayItemsPageIds.h"

#include <devicefiles.h>
#include <todaycmn.h>

#include <commctrl.h>

#include <utility>
#include <vector>

namespace {

// The items as the page shows them, in the page's order.
struct PageState
{
    std::vector<TodayItemEntry> items;
};

constexpr wchar_t kStateProperty[] = L"TodayItems";

PageState& State(HWND dialog)
{
    return *static_cast<PageState*>(GetPropW(dialog, kStateProperty));
}

HWND List(HWND dialog)
{
    return GetDlgItem(dialog, IDC_TODAY_ITEMS);
}

int Selected(HWND dialog)
{
    return ListView_GetNextItem(List(dialog), -1, LVNI_SELECTED);
}

// The list shows the items in their order, each checked while enabled.
void Fill(HWND dialog, int selected)
{
    const HWND list = List(dialog);
    const std::vector<TodayItemEntry>& items = State(dialog).items;
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < items.size(); ++i) {
        LVITEMW row = {};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = const_cast<wchar_t*>(items[i].name.c_str());
        ListView_InsertItem(list, &row);
        ListView_SetCheckState(list, static_cast<int>(i), items[i].enabled);
    }
    if (selected >= 0)
        ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    const bool options = selected >= 0 && items[static_cast<size_t>(selected)].options;
    EnableWindow(GetDlgItem(dialog, IDC_ITEM_OPTIONS), options);
}

// The check boxes as the user left them.
void TakeChecks(HWND dialog)
{
    std::vector<TodayItemEntry>& items = State(dialog).items;
    for (size_t i = 0; i < items.size(); ++i)
        items[i].enabled = ListView_GetCheckState(List(dialog), static_cast<int>(i)) != FALSE;
}

void Move(HWND dialog, int by)
{
    const int from = Selected(dialog);
    std::vector<TodayItemEntry>& items = State(dialog).items;
    const int to = from + by;
    if (from < 0 || to < 0 || to >= static_cast<int>(items.size()))
        return;
    TakeChecks(dialog);
    std::swap(items[static_cast<size_t>(from)], items[static_cast<size_t>(to)]);
    Fill(dialog, to);
}

// The selected item's options, its module loaded for them as the Today
// settings page loads it.
void OpenOptions(HWND dialog)
{
    const int selected = Selected(dialog);
    if (selected < 0)
        return;
    const TodayItemEntry& item = State(dialog).items[static_cast<size_t>(selected)];
    wchar_t path[MAX_PATH];
    std::wstring error;
    const std::unique_ptr<ItemModule> module =
        item.options && DeviceFilePath(item.dll.c_str(), path, MAX_PATH) ? ItemModule::Load(path, item.dll, error)
                                                                          : nullptr;
    if (module)
        module->RunOptions(dialog);
}

// Each item's Enabled and Order as the page shows them; then a running
// Today screen is told to reload its items.
void Save(HWND dialog)
{
    TakeChecks(dialog);
    const std::vector<TodayItemEntry>& items = State(dialog).items;
    for (size_t i = 0; i < items.size(); ++i)
        WriteTodayItemPlace(items[i].name, items[i].enabled, static_cast<DWORD>(i + 1));
    SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, kTodayReloadWaitMs,
        nullptr);
}

INT_PTR CALLBACK TodayItemsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        StartPage(dialog, lParam);
        SetPropW(dialog, kStateProperty, new PageState{ReadTodayItems()});
        const HWND list = List(dialog);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        LVCOLUMNW column = {};
        column.mask = LVCF_WIDTH;
        RECT area;
        GetClientRect(list, &area);
        column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
        ListView_InsertColumn(list, 0, &column);
        Fill(dialog, State(dialog).items.empty() ? -1 : 0);
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (notice->hdr.idFrom == IDC_TODAY_ITEMS && notice->hdr.code == LVN_ITEMCHANGED &&
            (notice->uNewState & LVIS_SELECTED) && GetPropW(dialog, kStateProperty)) {
            const auto& items = State(dialog).items;
            EnableWindow(GetDlgItem(dialog, IDC_ITEM_OPTIONS),
                notice->iItem >= 0 && items[static_cast<size_t>(notice->iItem)].options);
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ITEM_UP:
            Move(dialog, -1);
            return TRUE;
        case IDC_ITEM_DOWN:
            Move(dialog, 1);
            return TRUE;
        case IDC_ITEM_OPTIONS:
            OpenOptions(dialog);
            return TRUE;
        default:
            return ClosePage(dialog, LOWORD(wParam), Save);
        }
    case WM_DESTROY:
        delete static_cast<PageState*>(RemovePropW(dialog, kStateProperty));
        return FALSE;
    default:
        return TakePagePicture(dialog, message);
    }
}

} // namespace

Page TodayItemsPage()
{
    return {IDD_TODAY_ITEMS, TodayItemsProc};
}

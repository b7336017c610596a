#include "Page.h"

#include "DevicePath.h"
#include "ScreenDensity.h"
#include "Screenshot.h"

#include <aygshell.h>
#include <devicescreen.h>

#include <commctrl.h>

namespace {

constexpr UINT kTakePicture = WM_APP + 1;
// The page's tab below it: its control id, and its height at 96 dpi.
constexpr int kPageTabId = 0x7A00;
constexpr int kPageTabHeight = 24;

// A Pocket PC's settings page has its name on a tab at its foot.
void AddPageTab(HWND dialog)
{
    RECT client;
    GetClientRect(dialog, &client);
    const int height = MulDiv(kPageTabHeight, ScreenDpi(), 96);
    const HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | TCS_BOTTOM, 0,
        client.bottom - height, client.right, height, dialog, reinterpret_cast<HMENU>(kPageTabId),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), nullptr);
    if (!tab)
        return;
    SendMessageW(tab, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    wchar_t title[64] = {};
    GetWindowTextW(dialog, title, 64);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// A picture of the page asked for, and what came of it.
struct Picture
{
    std::wstring path;
    std::wstring error;
};

} // namespace

void StartPage(HWND dialog, LPARAM initParam)
{
    // A Pocket PC page fills the screen between its bars, its title and ok
    // in the navigation bar: the page's own OK and Cancel stand behind them
    // (the ok sends IDOK, the Escape key IDCANCEL).
    SHINITDLGINFO frame = {SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_EMPTYMENU};
    SHInitDialog(&frame);
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDCANCEL), SW_HIDE);
    AddPageTab(dialog);
    SetWindowLongPtrW(dialog, DWLP_USER, initParam);
    if (initParam)
        PostMessageW(dialog, kTakePicture, 0, 0);
}

bool TakePagePicture(HWND dialog, UINT message)
{
    if (message != kTakePicture)
        return false;
    ShowWindow(dialog, SW_SHOW);
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    auto* picture = reinterpret_cast<Picture*>(GetWindowLongPtrW(dialog, DWLP_USER));
    RECT screen;
    DeviceScreenRect(&screen);
    picture->error = WriteScreenshot(screen, CommandLineFile(picture->path, true));
    EndDialog(dialog, IDCANCEL);
    return true;
}

bool ClosePage(HWND dialog, WORD command, void (*save)(HWND dialog))
{
    if (command == IDOK)
        save(dialog);
    else if (command != IDCANCEL)
        return false;
    EndDialog(dialog, command);
    return true;
}

bool RunPage(HINSTANCE instance, const Page& page)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(page.id), nullptr, page.procedure, 0) == IDOK;
}

std::wstring WritePagePicture(HINSTANCE instance, const Page& page, const std::wstring& path)
{
    Picture picture{path, L"the page did not show"};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(page.id), nullptr, page.procedure, reinterpret_cast<LPARAM>(&picture));
    return picture.error;
}

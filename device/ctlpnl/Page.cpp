#include "Page.h"

#include "DevicePath.h"
#include "Screenshot.h"

#include <devicescreen.h>

namespace {

constexpr UINT kTakePicture = WM_APP + 1;

// A picture of the page asked for, and what came of it.
struct Picture
{
    std::wstring path;
    std::wstring error;
};

} // namespace

void StartPage(HWND dialog, LPARAM initParam)
{
    // A Pocket PC page fills the screen.
    RECT screen;
    DeviceScreenRect(&screen);
    SetWindowPos(dialog, HWND_TOP, screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top, 0);
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
    picture->error = WriteScreenshot(screen, DevicePath(picture->path));
    EndDialog(dialog, IDCANCEL);
    return true;
}

bool RunPage(HINSTANCE instance, int id, DLGPROC procedure)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(id), nullptr, procedure, 0) == IDOK;
}

std::wstring WritePagePicture(HINSTANCE instance, int id, DLGPROC procedure, const std::wstring& path)
{
    Picture picture{path, L"the page did not show"};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(id), nullptr, procedure, reinterpret_cast<LPARAM>(&picture));
    return picture.error;
}

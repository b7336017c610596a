#include "DoneButton.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kSubclassId = 0x4F4B; // "OK"

// The button's place in window coordinates: in the title bar, left of the
// title bar's own buttons.
RECT ButtonRect(HWND dialog)
{
    RECT window;
    GetWindowRect(dialog, &window);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    const int system = GetSystemMetrics(SM_CXSIZE);
    const int width = caption * 3 / 2;
    const int right = (window.right - window.left) - frame - system - 2;
    return RECT{right - width, frame + 2, right, frame + caption - 2};
}

void Draw(HWND dialog)
{
    HDC dc = GetWindowDC(dialog);
    RECT button = ButtonRect(dialog);
    DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    const HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, L"ok", -1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(dialog, dc);
}

bool OnButton(HWND dialog, LPARAM screenPoint)
{
    RECT window;
    GetWindowRect(dialog, &window);
    POINT point = {static_cast<short>(LOWORD(screenPoint)) - window.left,
        static_cast<short>(HIWORD(screenPoint)) - window.top};
    const RECT button = ButtonRect(dialog);
    return PtInRect(&button, point) != FALSE;
}

LRESULT CALLBACK DoneButtonProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT: {
        const LRESULT result = DefSubclassProc(dialog, message, wParam, lParam);
        Draw(dialog);
        return result;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (OnButton(dialog, lParam)) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(dialog, DoneButtonProc, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(dialog, message, wParam, lParam);
}

} // namespace

void AddDoneButton(HWND dialog)
{
    SetWindowSubclass(dialog, DoneButtonProc, kSubclassId, 0);
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

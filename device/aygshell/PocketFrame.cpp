#include "PocketFrame.h"

#include "ScreenDensity.h"
#include "ShellBars.h"

#include <commctrl.h>
#include <devicescreen.h>

#include <string>

namespace {

constexpr UINT_PTR kSubclassId = 0x5050; // "PP"
// The window property that holds a framed dialog's frame.
constexpr wchar_t kFrameProperty[] = L"DevicePocketFrame";
constexpr wchar_t kOk[] = L"ok";

struct Frame
{
    bool ok = false;
    bool menuBar = false;
};

// The bars in window coordinates.
RECT NavigationBar(HWND dialog)
{
    RECT window;
    GetWindowRect(dialog, &window);
    return RECT{0, 0, window.right - window.left, shellbars::BarHeight(ScreenDpi())};
}

RECT MenuBar(HWND dialog)
{
    RECT window;
    GetWindowRect(dialog, &window);
    const int height = window.bottom - window.top;
    return RECT{0, height - shellbars::BarHeight(ScreenDpi()), window.right - window.left, height};
}

void PaintBars(HWND dialog, const Frame& frame)
{
    const int length = GetWindowTextLengthW(dialog);
    std::wstring title(static_cast<size_t>(length) + 1, L'\0');
    title.resize(static_cast<size_t>(GetWindowTextW(dialog, title.data(), length + 1)));
    HDC dc = GetWindowDC(dialog);
    const int dpi = ScreenDpi();
    shellbars::PaintNavigationBar(dc, NavigationBar(dialog), dpi, title.c_str(), frame.ok ? kOk : nullptr);
    if (frame.menuBar)
        shellbars::PaintMenuBar(dc, MenuBar(dialog), dpi, nullptr, nullptr);
    ReleaseDC(dialog, dc);
}

// A screen point of a mouse message in window coordinates.
POINT WindowPoint(HWND dialog, LPARAM screenPoint)
{
    RECT window;
    GetWindowRect(dialog, &window);
    return POINT{static_cast<short>(LOWORD(screenPoint)) - window.left,
        static_cast<short>(HIWORD(screenPoint)) - window.top};
}

// Whether a screen point lies on the navigation bar's ok.
bool OnOk(HWND dialog, LPARAM screenPoint)
{
    const POINT point = WindowPoint(dialog, screenPoint);
    const RECT ok = shellbars::OkArea(NavigationBar(dialog), ScreenDpi());
    return PtInRect(&ok, point) != FALSE;
}

LRESULT CALLBACK FrameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* frame = reinterpret_cast<Frame*>(data);
    switch (message) {
    case WM_NCCALCSIZE: {
        // The whole window but the bars is the client area.
        auto* client = reinterpret_cast<RECT*>(lParam);
        const int bar = shellbars::BarHeight(ScreenDpi());
        client->top += bar;
        if (frame->menuBar)
            client->bottom -= bar;
        return 0;
    }
    case WM_NCPAINT:
        PaintBars(dialog, *frame);
        return 0;
    case WM_NCACTIVATE:
        PaintBars(dialog, *frame);
        return TRUE;
    case WM_SETTEXT: {
        const LRESULT result = DefSubclassProc(dialog, message, wParam, lParam);
        PaintBars(dialog, *frame);
        return result;
    }
    case WM_NCHITTEST: {
        // The bars are the frame's, a border that neither moves nor sizes;
        // the desktop's hit test knows no such frame.
        const POINT point = WindowPoint(dialog, lParam);
        const RECT navigation = NavigationBar(dialog);
        const RECT menu = MenuBar(dialog);
        if (PtInRect(&navigation, point) || (frame->menuBar && PtInRect(&menu, point)))
            return HTBORDER;
        return DefSubclassProc(dialog, message, wParam, lParam);
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (frame->ok && OnOk(dialog, lParam))
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(dialog, FrameProc, kSubclassId);
        RemovePropW(dialog, kFrameProperty);
        delete frame;
        break;
    default:
        break;
    }
    return DefSubclassProc(dialog, message, wParam, lParam);
}

Frame* FrameOf(HWND dialog)
{
    return static_cast<Frame*>(GetPropW(dialog, kFrameProperty));
}

} // namespace

void FramePocketDialog(HWND dialog, bool doneButton, bool menuBar)
{
    if (!FrameOf(dialog)) {
        auto* frame = new Frame{doneButton, menuBar};
        if (!SetPropW(dialog, kFrameProperty, frame) ||
            !SetWindowSubclass(dialog, FrameProc, kSubclassId, reinterpret_cast<DWORD_PTR>(frame))) {
            RemovePropW(dialog, kFrameProperty);
            delete frame;
            return;
        }
    }
    Frame* frame = FrameOf(dialog);
    frame->ok = doneButton;
    frame->menuBar = menuBar;
    SetWindowLongPtrW(dialog, GWL_STYLE,
        GetWindowLongPtrW(dialog, GWL_STYLE) & ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_BORDER | WS_DLGFRAME));
    SetWindowLongPtrW(dialog, GWL_EXSTYLE,
        GetWindowLongPtrW(dialog, GWL_EXSTYLE) &
            ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    RECT screen;
    DeviceScreenRect(&screen);
    SetWindowPos(dialog, nullptr, screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
        SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool ShowFrameOk(HWND dialog, bool show)
{
    Frame* frame = FrameOf(dialog);
    if (!frame)
        return false;
    frame->ok = show;
    PaintBars(dialog, *frame);
    return true;
}

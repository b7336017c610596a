#include "HoldFeedback.h"

#include "WindowObject.h"

#include <cmath>
#include <numbers>

namespace {

constexpr wchar_t kClassName[] = L"DeviceHoldFeedback";
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr COLORREF kDot = RGB(220, 0, 0);
constexpr int kDotCount = 8;
constexpr int kSize = 40; // at 96 dpi

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

} // namespace

HoldFeedback::HoldFeedback(POINT point)
{
    HDC screen = GetDC(nullptr);
    size_ = MulDiv(kSize, GetDeviceCaps(screen, LOGPIXELSX), 96);
    ReleaseDC(nullptr, screen);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc); // fails harmlessly once registered
    window_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW |
                                  WS_EX_NOACTIVATE,
        kClassName, L"", WS_POPUP, point.x - size_ / 2, point.y - size_ / 2, size_, size_, nullptr, nullptr,
        wc.hInstance, this);
    SetLayeredWindowAttributes(window_, kTransparent, 0, LWA_COLORKEY);
}

HoldFeedback::~HoldFeedback()
{
    if (window_)
        DestroyWindow(window_);
}

void HoldFeedback::Show(double progress)
{
    const int dots = static_cast<int>(progress * kDotCount);
    if (!window_ || dots == dots_)
        return;
    dots_ = dots;
    if (!IsWindowVisible(window_))
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
}

void HoldFeedback::Paint(HDC dc) const
{
    RECT all = {0, 0, size_, size_};
    HBRUSH background = CreateSolidBrush(kTransparent);
    FillRect(dc, &all, background);
    DeleteObject(background);
    HBRUSH dot = CreateSolidBrush(kDot);
    const HGDIOBJ previousBrush = SelectObject(dc, dot);
    const HGDIOBJ previousPen = SelectObject(dc, GetStockObject(NULL_PEN));
    const double centre = size_ / 2.0;
    const double radius = size_ * 0.38;
    const int dotSize = size_ / 8 + 1;
    for (int i = 0; i < dots_; ++i) {
        const double angle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / kDotCount;
        const int x = static_cast<int>(centre + radius * std::cos(angle));
        const int y = static_cast<int>(centre + radius * std::sin(angle));
        Ellipse(dc, x - dotSize / 2, y - dotSize / 2, x + dotSize / 2 + 1, y + dotSize / 2 + 1);
    }
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(dot);
}

LRESULT CALLBACK HoldFeedback::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* feedback = WindowObject<const HoldFeedback>(window, message, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (feedback)
            feedback->Paint(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

#include "ScreenLayout.h"

#include "ShellBars.h"

#include <devicescreen.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {

// The window's size for a client area of the screen's size.
SIZE FramedSize(HWND window, int width, int height)
{
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
        static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

} // namespace

ScreenLayout::ScreenLayout(HWND window) : window_(window)
{
}

void ScreenLayout::Follow()
{
    DEVICE_SCREEN screen = {};
    DeviceGetScreen(&screen);
    width_ = screen.cx;
    height_ = screen.cy;
    theme_ = std::make_unique<Theme>(width_, height_, screen.dpi);
    const SIZE framed = FramedSize(window_, width_, height_);
    SetWindowPos(window_, nullptr, 0, 0, framed.cx, framed.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    wchar_t title[96];
    std::swprintf(title, std::size(title), L"Mesolune device: %ls, %d \u00D7 %d, %d dpi%ls%ls", screen.szProfile,
        width_, height_, screen.dpi, screen.fLandscape ? L", landscape" : L"", armItems_ ? L", ARM items" : L"");
    SetWindowTextW(window_, title);
}

void ScreenLayout::ShowArmItems(bool arm)
{
    if (arm == armItems_)
        return;
    armItems_ = arm;
    Follow();
}

bool ScreenLayout::Turn(std::wstring& problem)
{
    DEVICE_SCREEN screen = {};
    if (!DeviceGetScreen(&screen) || !DeviceSetScreen(screen.szProfile, !screen.fLandscape)) {
        problem = L"the screen cannot be turned (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    Follow();
    return true;
}

RECT ScreenLayout::TitleBar() const
{
    return RECT{0, 0, width_, theme_->Scale(shellbars::kBarHeight)};
}

RECT ScreenLayout::SoftKeyBar() const
{
    return RECT{0, height_ - theme_->Scale(shellbars::kBarHeight), width_, height_};
}

void ScreenLayout::Paint(HDC hdc, const RECT& area, const wchar_t* rightKey)
{
    theme_->PaintBackground(hdc, area, POINT{0, 0});
    SYSTEMTIME now;
    GetLocalTime(&now);
    theme_->PaintTitleBar(hdc, TitleBar(), now);
    theme_->PaintSoftKeyBar(hdc, SoftKeyBar(), rightKey);
    shownMinute_ = now.wMinute;
}

void ScreenLayout::FollowClock()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wMinute != shownMinute_) {
        const RECT bar = TitleBar();
        InvalidateRect(window_, &bar, FALSE);
    }
}

void ScreenLayout::KeepWholeScreen(MINMAXINFO& limits) const
{
    const SIZE framed = FramedSize(window_, width_, height_);
    limits.ptMaxTrackSize.x = std::max(limits.ptMaxTrackSize.x, framed.cx);
    limits.ptMaxTrackSize.y = std::max(limits.ptMaxTrackSize.y, framed.cy);
    limits.ptMaxSize.x = std::max(limits.ptMaxSize.x, framed.cx);
    limits.ptMaxSize.y = std::max(limits.ptMaxSize.y, framed.cy);
}

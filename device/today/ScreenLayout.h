// The device's screen as the Today screen shows it: a window whose client
// area is exactly the screen, its look, and the title and soft-key bars
// between which the items stand.
#pragma once

#include "Theme.h"

#include <windows.h>

#include <memory>
#include <string>

class ScreenLayout
{
public:
    // Follow() gives it the screen.
    explicit ScreenLayout(HWND window);

    // The window and the look for the device's screen as it is now.
    void Follow();
    // The title also says when an item runs on the emulated ARM processor.
    void ShowArmItems(bool arm);
    // Turns the device's screen a quarter for this run; false with the
    // reason when the device refuses, and then nothing changes.
    bool Turn(std::wstring& problem);

    int Width() const { return width_; }
    int Height() const { return height_; }
    const Theme& Look() const { return *theme_; }
    RECT TitleBar() const;
    RECT SoftKeyBar() const;
    // Where the first item stands.
    int ItemsTop() const { return TitleBar().bottom; }

    // The background and the bars, the right soft key labelled rightKey.
    void Paint(HDC hdc, const RECT& area, const wchar_t* rightKey);
    // The title bar's clock is repainted when its minute has passed.
    void FollowClock();
    // A window manager must not make the window smaller than the screen
    // with its frame (WM_GETMINMAXINFO).
    void KeepWholeScreen(MINMAXINFO& limits) const;

private:
    HWND window_;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<Theme> theme_;
    WORD shownMinute_ = 0xFFFF;
    bool armItems_ = false;
};

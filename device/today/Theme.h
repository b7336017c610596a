// The Today screen's look: its background picture, its colours, the title bar.
#pragma once

#include <windows.h>

#include <todaycmn.h>

class Theme
{
public:
    Theme(int width, int height, int dpi);
    ~Theme();
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;

    // Fills area of target with the background, where the target's (0, 0)
    // lies at origin of the Today screen.
    void PaintBackground(HDC target, const RECT& area, POINT origin) const;
    // Fills area with the highlight colour: a selected item's background.
    void PaintHighlight(HDC target, const RECT& area) const;
    void PaintTitleBar(HDC target, const RECT& bar, const SYSTEMTIME& now) const;
    void PaintSoftKeyBar(HDC target, const RECT& bar, const wchar_t* rightKey) const;

    COLORREF Color(WPARAM which) const;
    int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

private:
    int width_;
    int height_;
    int dpi_;
    HDC backgroundDc_ = nullptr;
    HBITMAP background_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
};

#include "ShellBars.h"

#include <cwchar>

namespace shellbars {

namespace {

constexpr COLORREF kText = RGB(255, 255, 255);
// The bars' gradient runs between these, light towards the screen's edge.
constexpr TRIVERTEX kLight = {0, 0, 0x0000, 0x2800, 0x7000, 0};
constexpr TRIVERTEX kDark = {0, 0, 0x0000, 0x1400, 0x4000, 0};
// The bars' text: Tahoma, bold, 9 points.
constexpr int kFontPoints = 9;
// The ok is as wide as this many bar heights.
constexpr int kOkWidthPercent = 150;

void PaintBar(HDC target, const RECT& bar, int dpi, const TRIVERTEX& top, const TRIVERTEX& bottom,
    const wchar_t* left, const wchar_t* right)
{
    TRIVERTEX vertices[2] = {top, bottom};
    vertices[0].x = bar.left, vertices[0].y = bar.top;
    vertices[1].x = bar.right, vertices[1].y = bar.bottom;
    GRADIENT_RECT gradient = {0, 1};
    GradientFill(target, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);

    LOGFONTW font = {};
    font.lfHeight = -MulDiv(kFontPoints, dpi, 72);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcscpy(font.lfFaceName, L"Tahoma");
    const HFONT barFont = CreateFontIndirectW(&font);
    const HGDIOBJ previousFont = SelectObject(target, barFont);
    const int previousMode = SetBkMode(target, TRANSPARENT);
    const COLORREF previousColor = SetTextColor(target, kText);
    RECT text = bar;
    text.left += MulDiv(kTextInset, dpi, 96);
    text.right -= MulDiv(kTextInset, dpi, 96);
    if (right) {
        DrawTextW(target, right, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        // The left text ends before the right one begins.
        SIZE extent = {};
        GetTextExtentPoint32W(target, right, static_cast<int>(std::wcslen(right)), &extent);
        text.right -= extent.cx + MulDiv(kTextInset, dpi, 96);
    }
    if (left)
        DrawTextW(target, left, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SetTextColor(target, previousColor);
    SetBkMode(target, previousMode);
    SelectObject(target, previousFont);
    DeleteObject(barFont);
}

} // namespace

int BarHeight(int dpi)
{
    return MulDiv(kBarHeight, dpi, 96);
}

RECT OkArea(const RECT& bar, int dpi)
{
    return RECT{bar.right - MulDiv(BarHeight(dpi), kOkWidthPercent, 100), bar.top, bar.right, bar.bottom};
}

void PaintNavigationBar(HDC target, const RECT& bar, int dpi, const wchar_t* title, const wchar_t* right)
{
    PaintBar(target, bar, dpi, kLight, kDark, title, right);
}

void PaintMenuBar(HDC target, const RECT& bar, int dpi, const wchar_t* left, const wchar_t* right)
{
    PaintBar(target, bar, dpi, kDark, kLight, left, right);
}

} // namespace shellbars

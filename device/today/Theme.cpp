#include "Theme.h"

#include "ShellBars.h"
#include "TopDownBitmap.h"

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <iterator>

namespace {

constexpr COLORREF kText = RGB(255, 255, 255);
constexpr COLORREF kHighlight = RGB(40, 110, 200);
constexpr COLORREF kBottom = RGB(12, 70, 96);

std::uint8_t Mix(double a, double b, double t)
{
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

} // namespace

Theme::Theme(int width, int height, int dpi) : width_(width), height_(height), dpi_(dpi)
{
    // A diagonal gradient with a soft light band: no two places of the
    // background look alike, so an item that asks for the wrong part shows.
    void* bits = nullptr;
    background_ = CreateTopDownBitmap(width_, height_, &bits);
    if (background_) {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const double u = static_cast<double>(x) / width_;
                const double v = static_cast<double>(y) / height_;
                const double t = 0.35 * u + 0.65 * v;
                const double band = 0.5 + 0.5 * std::sin(6.0 * (u - v) + 1.0);
                const std::uint8_t r = Mix(24 + 18 * band, 10, t);
                const std::uint8_t g = Mix(40 + 22 * band, 84, t);
                const std::uint8_t b = Mix(112 + 30 * band, 100, t);
                pixels[y * width_ + x] = (r << 16) | (g << 8) | b;
            }
        }
    }
    backgroundDc_ = CreateCompatibleDC(nullptr);
    previousBitmap_ = SelectObject(backgroundDc_, background_);
}

Theme::~Theme()
{
    SelectObject(backgroundDc_, previousBitmap_);
    DeleteDC(backgroundDc_);
    DeleteObject(background_);
}

void Theme::PaintBackground(HDC target, const RECT& area, POINT origin) const
{
    // Beyond the screen the background keeps its bottom colour.
    HBRUSH bottom = CreateSolidBrush(kBottom);
    FillRect(target, &area, bottom);
    DeleteObject(bottom);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BitBlt(target, area.left, area.top, width, height, backgroundDc_, origin.x + area.left, origin.y + area.top,
        SRCCOPY);
}

void Theme::PaintTitleBar(HDC target, const RECT& bar, const SYSTEMTIME& now) const
{
    wchar_t clock[8];
    std::swprintf(clock, std::size(clock), L"%02u:%02u", now.wHour, now.wMinute);
    shellbars::PaintNavigationBar(target, bar, dpi_, L"Сегодня", clock);
}

void Theme::PaintSoftKeyBar(HDC target, const RECT& bar, const wchar_t* rightKey) const
{
    shellbars::PaintMenuBar(target, bar, dpi_, nullptr, rightKey);
}

void Theme::PaintHighlight(HDC target, const RECT& area) const
{
    HBRUSH highlight = CreateSolidBrush(kHighlight);
    FillRect(target, &area, highlight);
    DeleteObject(highlight);
}

COLORREF Theme::Color(WPARAM which) const
{
    switch (which) {
    case TODAYCOLOR_HIGHLIGHT:
        return kHighlight;
    case TODAYCOLOR_TEXT:
    case TODAYCOLOR_HIGHLIGHTEDTEXT:
    default:
        return kText;
    }
}

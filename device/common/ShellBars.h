// The Pocket PC's two bars as the device draws them: the navigation bar at
// the top of the screen (a title on the left; on the right the clock, or the
// ok of a full-screen dialog) and the menu bar at the bottom (its soft keys).
// The Today screen and every full-screen dialog draw them alike.
#pragma once

#include <windows.h>

namespace shellbars {

// Either bar's height at 96 dpi, as the platform's.
constexpr int kBarHeight = 26;
// Texts keep this far from the bar's ends, at 96 dpi.
constexpr int kTextInset = 6;

int BarHeight(int dpi);
// The navigation bar's ok: where it lies in a bar.
RECT OkArea(const RECT& bar, int dpi);

void PaintNavigationBar(HDC target, const RECT& bar, int dpi, const wchar_t* title, const wchar_t* right);
void PaintMenuBar(HDC target, const RECT& bar, int dpi, const wchar_t* left, const wchar_t* right);

} // namespace shellbars

// The Pocket PC's bars as the device draws them, drawn off-screen for a test
// to compare with what a program shows.
#pragma once

#include "DeviceProgram.h"

#include <functional>

namespace barpicture {

// What a painter draws on a off-screen bitmap of a size.
deviceprogram::Picture Drawn(int width, int height, const std::function<void(HDC, const RECT&)>& paint);

// A navigation bar (or a menu bar) width wide at a density, with its texts.
deviceprogram::Picture Bar(int width, int dpi, bool navigation, const wchar_t* left, const wchar_t* right);

// How many of the bar's rows differ from a picture's, from row top down.
int RowsUnlike(const deviceprogram::Picture& picture, int top, const deviceprogram::Picture& bar);

} // namespace barpicture

// An independent rendering of the calendar face, from its described layout,
// for pixel-exact comparison with what the item draws.
#pragma once

#include "TestHost.h"

#include <windows.h>

#include <optional>
#include <string>

namespace face {

struct Options
{
    COLORREF color1 = 0x007878FF, color2 = 0x007878FF, color3 = 0x0078FF78, color4 = 0x00FF6464;
    DWORD weekend = 1, weeks = 1, dayNames = 1, clock = 1, alarm = 60000;
    int fontSize = 8, clockFontSize = 18;
    DWORD fontBold = 0, clockFontBold = 1;
    std::wstring font = L"Tahoma", clockFont = L"Tahoma";
};

struct Scene
{
    int month = 1, year = 2026;                       // displayed
    int todayDay = 1, todayMonth = 1, todayYear = 2026;
    int hour = 0, minute = 0;                         // the clock shown
    COLORREF text = RGB(0xE0, 0xF0, 0xFF);            // the host's text colour
    POINT origin = {0, 0};                            // the item's place in the host
    int width = 0;                                    // the item's width
    HICON icon = nullptr;                             // the bell the face shows, if any
    std::optional<COLORREF> highlight;                // selected: the band's colour
    Options options;
};

// Metrics the face derives from its font.
struct Metrics
{
    int cell, row, clockHeight;
    int firstWeekday; // 1 = Monday ... 7 = Sunday
    int firstWeek;
    int rows;         // week rows plus the header row
    int height;
};

// The scene of the face on the day and at the time of now, today's month
// shown with the options given; the host's part (text colour, place, width,
// bell) is the caller's.
Scene SceneOn(const SYSTEMTIME& now, const Options& options);

Metrics Measure(const Scene& scene);

// The face over the test host's background, as the item's window must show it.
testhost::Image Render(const Scene& scene);

// Where two images differ: count of pixels and the first one, as text.
std::string Difference(const testhost::Image& expected, const testhost::Image& actual);

} // namespace face

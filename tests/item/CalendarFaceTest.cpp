// The calendar face as the item window shows it, against an independent
// rendering of its layout.
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"

namespace {

using namespace calendartest;
using devicefacts::Scaled;

int CountColor(const testhost::Image& image, COLORREF color, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += image.At(x, y) == color;
    return n;
}

bool ShowsOnlyBackground(const testhost::Image& image, int left, int top, int right, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (image.At(x, y) != testhost::BackgroundAt(x, kTop + y))
                return false;
    return true;
}

class CalendarFace : public CalendarItem
{
protected:
    // Pixels of a colour in a row of day cells (row 0: the weekday names),
    // columns from..to-1 (0: Monday); to 8 runs on to the item's edge.
    int CountInCells(COLORREF color, int row, int from, int to)
    {
        const face::Metrics m = face::Measure(scene);
        const testhost::Image shown = testhost::CaptureWindow(item->m_hWnd);
        const int x0 = scene.width - 8 * m.cell - Scaled(15);
        const int right = to >= 8 ? scene.width : x0 + to * m.cell;
        return CountColor(shown, color, x0 + from * m.cell, row * m.row, right, (row + 1) * m.row);
    }
};

TEST_F(CalendarFace, MetricsComeFromTheCalendarFont)
{
    Make(Time(2026, 12, 8));
    const face::Metrics m = face::Measure(scene);
    EXPECT_EQ(m.cell, item->m_nCellWidth);
    EXPECT_EQ(m.row, item->m_nRowHeight);
    EXPECT_EQ(2 * m.row, item->m_nClockHeight);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), item->m_nWidth);
    EXPECT_EQ(2, item->m_nFirstWeekday);
    EXPECT_EQ(49, item->m_nFirstWeek);
    EXPECT_EQ(m.height, item->m_nHeight);
}

// Today's cell takes the today colour, a Saturday's too with two weekend
// days; no cell after it does, nor does it take the weekend colour.
TEST_F(CalendarFace, TodayTakesTheTodayColour)
{
    const struct
    {
        int day;    // in December 2026, in the second week row
        int column; // 0: Monday
        DWORD weekend;
    } cases[] = {{8, 1, 1}, {12, 5, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.day);
        face::Options o;
        o.weekend = c.weekend;
        o.color1 = RGB(255, 0, 0);
        o.color3 = RGB(0, 255, 0);
        Make(Time(2026, 12, c.day), o);
        ExpectFace();
        EXPECT_GT(CountInCells(RGB(0, 255, 0), 2, c.column, c.column + 1), 0);
        EXPECT_EQ(0, CountInCells(RGB(0, 255, 0), 2, c.column + 1, 8));
        EXPECT_EQ(0, CountInCells(RGB(255, 0, 0), 2, c.column, c.column + 1));
    }
}

TEST_F(CalendarFace, January2027StartsWithAnEmptyWeekNumber)
{
    Make(Time(2027, 1, 15));
    EXPECT_EQ(0, item->m_nFirstWeek);
    ExpectFace();
    const face::Metrics m = face::Measure(scene);
    const testhost::Image shown = testhost::CaptureWindow(item->m_hWnd);
    const int weekLeft = scene.width - m.cell;
    EXPECT_TRUE(ShowsOnlyBackground(shown, weekLeft, m.row, scene.width, 2 * m.row));
    EXPECT_FALSE(ShowsOnlyBackground(shown, weekLeft, 2 * m.row, scene.width, 3 * m.row));
}

TEST_F(CalendarFace, June2026NumbersItsFiveWeeksFrom22)
{
    Make(Time(2026, 6, 10));
    EXPECT_EQ(22, item->m_nFirstWeek);
    EXPECT_EQ(1, item->m_nFirstWeekday);
    ExpectFace();
}

TEST_F(CalendarFace, AMonthStartingOnSunday)
{
    Make(Time(2026, 3, 2));
    EXPECT_EQ(7, item->m_nFirstWeekday);
    ExpectFace();
}

TEST_F(CalendarFace, AMonthEndingOnSundayHasNoTrailingWeekNumber)
{
    Make(Time(2026, 5, 4));
    ExpectFace();
    const face::Metrics m = face::Measure(scene);
    const testhost::Image shown = testhost::CaptureWindow(item->m_hWnd);
    // Nothing below the last row.
    EXPECT_EQ(m.height, static_cast<int>(shown.height));
}

TEST_F(CalendarFace, SwitchesOff)
{
    for (int mask = 1; mask < 8; ++mask) {
        face::Options o;
        o.clock = mask & 1 ? 0 : 1;
        o.weeks = mask & 2 ? 0 : 1;
        o.dayNames = mask & 4 ? 0 : 1;
        SCOPED_TRACE(testing::Message() << "clock " << o.clock << " weeks " << o.weeks << " names " << o.dayNames);
        Make(Time(2026, 8, 20), o);
        placedHeight = 0;
        ExpectFace();
    }
}

TEST_F(CalendarFace, WeekendColours)
{
    for (DWORD weekend : {0u, 1u, 2u, 8u}) {
        SCOPED_TRACE(testing::Message() << "Weekend " << weekend);
        face::Options o;
        o.weekend = weekend;
        o.color1 = RGB(255, 0, 0);
        o.color2 = RGB(0, 0, 255);
        Make(Time(2026, 9, 9), o);
        placedHeight = 0;
        ExpectFace();
        const testhost::Image shown = testhost::CaptureWindow(item->m_hWnd);
        const int red = CountColor(shown, RGB(255, 0, 0), 0, 0, shown.width, shown.height);
        const int blue = CountColor(shown, RGB(0, 0, 255), 0, 0, shown.width, shown.height);
        EXPECT_EQ(weekend == 2, red > 0);
        EXPECT_EQ(weekend == 1 || weekend == 2, blue > 0);
    }
}

TEST_F(CalendarFace, TheSameMonthOfAnotherYearHasNoToday)
{
    face::Options o;
    o.color3 = RGB(0, 255, 0);
    Make(Time(2026, 12, 8), o);
    item->m_nYear = 2027;
    item->UpdateLayout();
    item->Render();
    scene.year = 2027;
    ExpectFace();
    const testhost::Image shown = testhost::CaptureWindow(item->m_hWnd);
    EXPECT_EQ(0, CountColor(shown, RGB(0, 255, 0), 0, 0, shown.width, shown.height));
}

TEST_F(CalendarFace, AFarYearStillDraws)
{
    Make(Time(2026, 12, 8));
    item->m_nYear = 30000;
    item->m_nMonth = 2;
    item->UpdateLayout();
    item->Render();
    Place();
    EXPECT_GE(item->m_nFirstWeekday, 1);
    EXPECT_LE(item->m_nFirstWeekday, 7);
}

TEST_F(CalendarFace, OtherFontsAndSizes)
{
    face::Options o;
    o.font = L"Courier New";
    o.fontSize = 10;
    o.fontBold = 1;
    o.clockFontSize = 12;
    Make(Time(2026, 4, 30, 23, 59), o);
    ExpectFace();
}

} // namespace

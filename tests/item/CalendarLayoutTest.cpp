// The calendar's state, layout, fonts and off-screen surface.
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"

namespace {

using namespace calendartest;
using devicefacts::SurfaceHeight;

LOGFONTW FontOf(HFONT font)
{
    LOGFONTW lf = {};
    GetObjectW(font, sizeof lf, &lf);
    return lf;
}

class CalendarLayout : public CalendarItem {};

TEST_F(CalendarLayout, ConstructionTakesTodayAndNothingElse)
{
    DeviceHoldClock(TRUE);
    const SYSTEMTIME now = Time(2026, 12, 8, 21, 7);
    SetLocalTime(&now);
    CMyToday fresh(GetModuleHandleW(nullptr), L"X", L"Y");
    EXPECT_EQ(8, fresh.m_nTodayDay);
    EXPECT_EQ(12, fresh.m_nTodayMonth);
    EXPECT_EQ(2026, fresh.m_nTodayYear);
    EXPECT_EQ(21, fresh.m_nHour);
    EXPECT_EQ(7, fresh.m_nMinute);
    EXPECT_EQ(12, fresh.m_nMonth);
    EXPECT_EQ(2026, fresh.m_nYear);
    EXPECT_EQ(50, fresh.m_nHeight);
    EXPECT_EQ(nullptr, fresh.m_hMemDC);
    EXPECT_EQ(nullptr, fresh.m_hOldBitmap);
    EXPECT_EQ(0, fresh.m_nFirstWeek);
    EXPECT_EQ(0, fresh.m_nFirstWeekday);
    EXPECT_EQ(0, fresh.m_nCellWidth);
    EXPECT_EQ(0, fresh.m_nRowHeight);
    EXPECT_EQ(0, fresh.m_nWidth);
    EXPECT_EQ(0, fresh.m_ptDown.x);
}

TEST_F(CalendarLayout, HeightsFollowTheWeekRowsOfTheMonth)
{
    Make(Time(2026, 12, 8));
    const int row = item->m_nRowHeight;
    ASSERT_GT(row, 0);
    const struct { int month, year, rows; } months[] = {
        {2, 2021, 5}, {6, 2026, 6}, {3, 2026, 7}, {8, 2026, 7}, {12, 2026, 6}, {3, 2021, 6},
    };
    for (const auto& m : months) {
        SCOPED_TRACE(testing::Message() << m.month << "/" << m.year);
        item->m_nMonth = m.month;
        item->m_nYear = m.year;
        item->UpdateLayout();
        EXPECT_EQ(m.rows * row, item->m_nHeight);
        EXPECT_FALSE(item->UpdateLayout());
    }
    Settings::DayNames = 0;
    item->m_nMonth = 2;
    item->m_nYear = 2021;
    EXPECT_TRUE(item->UpdateLayout());
    EXPECT_EQ(4 * row, item->m_nHeight);
    Settings::Clock = 0;
    EXPECT_FALSE(item->UpdateLayout());
}

TEST_F(CalendarLayout, ASurfaceHigherThan800PixelsFallsBackTo50)
{
    Make(Time(2026, 3, 8));
    item->m_nRowHeight = 120; // 7 rows: 840 pixels
    EXPECT_TRUE(item->UpdateLayout());
    EXPECT_EQ(840, item->m_nHeight);
    item->CreateSurface();
    EXPECT_EQ(50, item->m_nHeight);
    EXPECT_EQ(50, SurfaceHeight(item->m_hMemDC));

    item->m_nMonth = 2;
    item->m_nYear = 2021;
    item->m_nRowHeight = 160; // 5 rows: exactly 800
    item->UpdateLayout();
    item->CreateSurface();
    EXPECT_EQ(800, item->m_nHeight);
    EXPECT_EQ(800, SurfaceHeight(item->m_hMemDC));
}

TEST_F(CalendarLayout, FontHeightsFollowTheDensity)
{
    Make(Time(2026, 12, 8));
    const int dpi = devicefacts::ProfileDpi();
    EXPECT_EQ(-(dpi * 8 / 72), FontOf(item->m_hFont).lfHeight);
    EXPECT_EQ(-(dpi * 18 / 72), FontOf(item->m_hBoldFont).lfHeight);
    if (dpi == 96) {
        EXPECT_EQ(-10, FontOf(item->m_hFont).lfHeight);
        EXPECT_EQ(-24, FontOf(item->m_hBoldFont).lfHeight);
    } else if (dpi == 192) {
        EXPECT_EQ(-21, FontOf(item->m_hFont).lfHeight);
        EXPECT_EQ(-48, FontOf(item->m_hBoldFont).lfHeight);
    }
    EXPECT_STREQ(L"Tahoma", FontOf(item->m_hFont).lfFaceName);
}

TEST_F(CalendarLayout, ABoldCalendarFontMakesTheClockBoldToo)
{
    face::Options o;
    o.fontBold = 1;
    o.clockFontBold = 0;
    Make(Time(2026, 12, 8), o);
    EXPECT_EQ(FW_BOLD, FontOf(item->m_hFont).lfWeight);
    EXPECT_EQ(FW_BOLD, FontOf(item->m_hBoldFont).lfWeight);

    o.fontBold = 0;
    o.clockFontBold = 1;
    Make(Time(2026, 12, 8), o);
    EXPECT_EQ(FW_NORMAL, FontOf(item->m_hFont).lfWeight);
    EXPECT_EQ(FW_BOLD, FontOf(item->m_hBoldFont).lfWeight);

    o.clockFontBold = 0;
    Make(Time(2026, 12, 8), o);
    EXPECT_EQ(FW_NORMAL, FontOf(item->m_hBoldFont).lfWeight); // the system font's weight
}

TEST_F(CalendarLayout, HugeFontSizesStayDefined)
{
    face::Options o;
    o.fontSize = 0x7FFFFFFF;
    o.clockFontSize = -8;
    Make(Time(2026, 12, 8), o);
    Place();
    EXPECT_LE(item->m_nHeight, 800);
}

TEST_F(CalendarLayout, DestroySurfaceTwiceIsHarmless)
{
    Make(Time(2026, 12, 8));
    item->DestroySurface();
    EXPECT_EQ(nullptr, item->m_hMemDC);
    EXPECT_EQ(nullptr, item->m_hOldBitmap);
    item->DestroySurface();
    EXPECT_EQ(nullptr, item->m_hMemDC);
}

TEST_F(CalendarLayout, PaintWithoutASurfaceRendersFirst)
{
    Make(Time(2026, 12, 8));
    Place();
    item->DestroySurface();
    InvalidateRect(item->m_hWnd, nullptr, TRUE);
    UpdateWindow(item->m_hWnd);
    EXPECT_NE(nullptr, item->m_hMemDC);
    EXPECT_EQ("", face::Difference(face::Render(scene), testhost::CaptureWindow(item->m_hWnd)));
}

TEST_F(CalendarLayout, RepaintsOnlyCopyTheSurface)
{
    Make(Time(2026, 12, 8));
    Place();
    host.watermarks.clear();
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(item->m_hWnd, nullptr, TRUE);
        UpdateWindow(item->m_hWnd);
    }
    EXPECT_TRUE(host.watermarks.empty()); // neither a render nor an erase asked for the background
}

TEST_F(CalendarLayout, RenderAsksForTheBackgroundBehindTheWholeSurface)
{
    Make(Time(2026, 12, 8));
    Place();
    host.watermarks.clear();
    item->Render();
    ASSERT_EQ(1u, host.watermarks.size());
    EXPECT_EQ(item->m_hMemDC, host.watermarks[0].hdc);
    EXPECT_EQ(item->m_hWnd, host.watermarks[0].hwnd);
    const RECT expected = {0, 0, item->m_nWidth, item->m_nHeight};
    EXPECT_TRUE(EqualRect(&expected, &host.watermarks[0].rc));
}

TEST_F(CalendarLayout, TheDestructorReleasesTheSurfaceAndTheFonts)
{
    Make(Time(2026, 12, 8));
    HFONT font = item->m_hFont, clockFont = item->m_hBoldFont;
    HDC memory = item->m_hMemDC;
    HGDIOBJ surface = GetCurrentObject(memory, OBJ_BITMAP);
    ASSERT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(surface));
    Destroy();
    EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(0u, GetObjectType(clockFont));
    EXPECT_EQ(0u, GetObjectType(memory));
    EXPECT_EQ(0u, GetObjectType(surface));
}

TEST_F(CalendarLayout, InitialisingAgainReplacesTheFonts)
{
    Make(Time(2026, 12, 8));
    HFONT font = item->m_hFont, clockFont = item->m_hBoldFont;
    item->OnInit();
    EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(0u, GetObjectType(clockFont));
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(item->m_hFont));
}

} // namespace

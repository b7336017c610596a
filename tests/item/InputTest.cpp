// Strokes, taps, tap-and-hold and the navigation keys, through real messages
// to the item window, with a scripted gesture recogniser.
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"
#include "DialogDriver.h"
#include "DeviceProgram.h"

#include <devicegesture.h>
#include <devicescreen.h>

namespace {

using namespace calendartest;
using devicefacts::Scaled;
using devicefacts::SurfaceHeight;

class Input : public CalendarItem
{
protected:
    void SetUp() override
    {
        CalendarItem::SetUp();
        const DWORD noHold = 0;
        DeviceScriptGestures(&noHold, 1);
    }

    void TearDown() override
    {
        DeviceScriptGestures(nullptr, 0);
        CalendarItem::TearDown();
    }

    void Start(const SYSTEMTIME& now, const face::Options& options = {})
    {
        Make(now, options);
        Place();
        Settle();
    }

    // Everything painted; counts from here.
    void Settle()
    {
        UpdateWindow(item->m_hWnd);
        renders = host.watermarks.size();
        g_erases = 0;
    }

    void Down(int x, int y) { SendMessageW(item->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Up(int x, int y) { SendMessageW(item->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

    void Stroke(int dx, int dy)
    {
        const int x = scene.width / 2, y = 40;
        Down(x, y);
        Up(x + dx, y + dy);
    }

    void ExpectShown(int month, int year)
    {
        EXPECT_EQ(month, item->m_nMonth);
        EXPECT_EQ(year, item->m_nYear);
    }

    size_t Renders() const { return host.watermarks.size() - renders; }
    bool Invalidated() const { return GetUpdateRect(item->m_hWnd, nullptr, FALSE) != FALSE; }

    // After an invalidation, the paint tells whether it asked for an erase.
    bool PaintErases()
    {
        UpdateWindow(item->m_hWnd);
        return g_erases > 0;
    }

    size_t renders = 0;
};

TEST_F(Input, NineAndNineIsATapBackToToday)
{
    Start(Time(2026, 12, 8));
    item->m_nMonth = 5;
    Stroke(9, 9);
    ExpectShown(12, 2026);
}

TEST_F(Input, StrokesPickTheirSlotByDirection)
{
    Start(Time(2026, 6, 8));
    Stroke(10, 3); // right: slot 4, next month
    ExpectShown(7, 2026);
    Stroke(10, 10); // a tie is vertical, down: slot 1, previous year
    ExpectShown(7, 2025);
    Stroke(0, -12); // up: slot 2, next year
    ExpectShown(7, 2026);
    Stroke(-15, 0); // left: slot 3, previous month
    ExpectShown(6, 2026);
    Stroke(-9, 14); // mostly down
    ExpectShown(6, 2025);
}

TEST_F(Input, StrokesCrossTheYear)
{
    Start(Time(2026, 12, 8));
    Stroke(20, 0);
    ExpectShown(1, 2027);
    item->m_nMonth = 1;
    item->m_nYear = 2026;
    Stroke(-20, 0);
    ExpectShown(12, 2025);
}

TEST_F(Input, AnUnknownActionChangesNothingButStillRedraws)
{
    for (DWORD action : {0u, 3u, 0x10u}) {
        SCOPED_TRACE(action);
        Start(Time(2026, 12, 8));
        Settings::Gesture = action << 24; // slot 4
        Stroke(20, 0);
        ExpectShown(12, 2026);
        EXPECT_EQ(1u, Renders());
        EXPECT_TRUE(Invalidated());
        EXPECT_TRUE(PaintErases());
    }
}

TEST_F(Input, TheWholeSlotByteIsTheAction)
{
    Start(Time(2026, 12, 8));
    Settings::Gesture = 0x01020401; // slot 1: next month
    Stroke(0, 20);
    ExpectShown(1, 2027);
}

TEST_F(Input, TheBellCornerOpensTheClockSettingsAndKeepsTheMonth)
{
    Start(Time(2026, 12, 8));
    item->m_nMonth = 3;
    g_dwLastAlarmCheck = 12345;
    const int corner = Scaled(20);
    Down(corner - 1, corner - 1);
    Up(corner - 1, corner - 1);
    ExpectShown(3, 2026);
    EXPECT_EQ(0u, g_dwLastAlarmCheck);
    EXPECT_EQ(0u, Renders());

    HWND page = deviceprogram::AwaitWindow(L"#32770", L"Будильники");
    ASSERT_NE(nullptr, page);
    PostMessageW(page, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Input, TapsBesideTheCornerReturnToToday)
{
    Start(Time(2026, 12, 8));
    const int corner = Scaled(20);
    for (POINT p : {POINT{corner, 1}, POINT{1, corner}, POINT{Scaled(25), Scaled(5)}, POINT{Scaled(5), Scaled(25)}}) {
        item->m_nMonth = 3;
        Down(p.x, p.y);
        Up(p.x, p.y);
        ExpectShown(12, 2026);
    }
}

TEST_F(Input, WithoutTheBellTheCornerIsAPlainTap)
{
    face::Options options;
    options.alarm = 0;
    Start(Time(2026, 12, 8), options);
    item->m_nMonth = 3;
    Down(2, 2);
    Up(2, 2);
    ExpectShown(12, 2026);
}

TEST_F(Input, TheRecogniserIsAskedAboutThePress)
{
    Start(Time(2026, 12, 8));
    Down(33, 7);
    const SHRGINFO asked = DeviceLastGestureRequest();
    EXPECT_EQ(static_cast<DWORD>(sizeof(SHRGINFO)), asked.cbSize);
    EXPECT_EQ(item->m_hWnd, asked.hwndClient);
    EXPECT_EQ(33, asked.ptDown.x);
    EXPECT_EQ(7, asked.ptDown.y);
    EXPECT_EQ(static_cast<DWORD>(SHRG_RETURNCMD), asked.dwFlags);
    EXPECT_EQ(33, item->m_ptDown.x);
    EXPECT_EQ(7, item->m_ptDown.y);
}

TEST_F(Input, TapAndHoldOpensTheOptionsAndIgnoresItsStylusUp)
{
    Start(Time(2026, 12, 8));
    const int heightBefore = item->m_nHeight;
    const int surfaceBefore = SurfaceHeight(item->m_hMemDC);
    dialogdriver::DialogDriver driver;
    bool shown = false;
    driver.Expect([&](HWND dialog, LPARAM) {
        wchar_t title[32];
        GetWindowTextW(dialog, title, 32);
        shown = std::wstring(title) == L"Настройки";
        EXPECT_EQ(host.Window(), GetWindow(dialog, GW_OWNER)); // a child's dialog belongs to its top window
        SendDlgItemMessageW(dialog, 1009, BM_SETCHECK, BST_UNCHECKED, 0); // no weekday names
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    const DWORD hold = GN_CONTEXTMENU;
    DeviceScriptGestures(&hold, 1);
    item->m_nMonth = 2; // February 2026, five week rows: the month stays as it is
    Down(50, 20);
    EXPECT_TRUE(shown);
    EXPECT_EQ(1, g_bMenuOpened);
    EXPECT_EQ(5 * item->m_nRowHeight, item->m_nHeight); // laid out again, without the names' row
    EXPECT_NE(heightBefore, item->m_nHeight);
    EXPECT_EQ(surfaceBefore, SurfaceHeight(item->m_hMemDC));       // but no new surface
    EXPECT_EQ(1u, Renders());
    EXPECT_TRUE(Invalidated());
    EXPECT_FALSE(PaintErases());

    const size_t after = host.watermarks.size();
    Up(150, 120);
    EXPECT_EQ(0, g_bMenuOpened);
    ExpectShown(2, 2026);
    EXPECT_EQ(after, host.watermarks.size());

    // The next stylus-up is an ordinary one again.
    Down(50, 20);
    Up(50, 20);
    ExpectShown(12, 2026);
}

TEST_F(Input, TheNavigationKeysStepTheMonth)
{
    Start(Time(2026, 12, 8));
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0));
    ExpectShown(1, 2027);
    item->m_nMonth = 1;
    item->m_nYear = 2026;
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_LEFT, 0);
    ExpectShown(12, 2025);
    Settle();
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_UP, 0);
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0);
    ExpectShown(12, 2025);
    EXPECT_EQ(0u, Renders());
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_ACTION, 0, 0));
    ExpectShown(12, 2026);
}

TEST_F(Input, AChangeOfHeightMakesANewSurfaceAndLeavesTheWindowAlone)
{
    const struct { int month, year, nextHeightRows; } cases[] = {{2, 2021, 6}, {3, 2026, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.month);
        Start(Time(c.year, c.month, 10));
        ValidateRect(item->m_hWnd, nullptr);
        Stroke(20, 0);
        EXPECT_EQ(c.nextHeightRows * item->m_nRowHeight, item->m_nHeight);
        EXPECT_EQ(item->m_nHeight, SurfaceHeight(item->m_hMemDC));
        EXPECT_EQ(1u, Renders());
        EXPECT_FALSE(Invalidated());
        // The host's next query learns the height.
        TODAYLISTITEM record = {};
        record.cyp = static_cast<DWORD>(placedHeight);
        EXPECT_EQ(TRUE, SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                            reinterpret_cast<WPARAM>(&record), 0));
        EXPECT_EQ(static_cast<DWORD>(item->m_nHeight), record.cyp);
    }
}

TEST_F(Input, AStepBetweenMonthsOfOneHeightInvalidatesWithErase)
{
    Start(Time(2026, 4, 10)); // April and May 2026: 5 week rows each
    ValidateRect(item->m_hWnd, nullptr);
    Stroke(20, 0);
    ExpectShown(5, 2026);
    EXPECT_TRUE(Invalidated());
    EXPECT_TRUE(PaintErases());
    scene.month = 5;
    ExpectFace();
}

// Two steps before the host's query: to a month of another height and back
// to one of the height the host shows. No query would hand a change over, so
// the step back paints at once.
TEST_F(Input, AStepBackToTheHeightTheHostShowsIsPainted)
{
    Start(Time(2026, 12, 8)); // December 2026 and January 2027: 5 week rows; February 2027: 4
    ASSERT_EQ(item->m_nHeight, placedHeight);
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0);
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0);
    ExpectShown(2, 2027);
    ValidateRect(item->m_hWnd, nullptr);
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_ACTION, 0, 0);
    ExpectShown(12, 2026);
    EXPECT_EQ(placedHeight, item->m_nHeight);
    EXPECT_TRUE(Invalidated());
    ExpectFace();
}

TEST_F(Input, AStepOverTheHeightLimitThatKeepsTheFallbackHeightIsPainted)
{
    face::Options huge;
    huge.fontSize = 150; // every month over 800 pixels: the item stays 50 high
    Start(Time(2026, 4, 10), huge);
    ASSERT_EQ(50, placedHeight);
    ValidateRect(item->m_hWnd, nullptr);
    Stroke(20, 0);
    ExpectShown(5, 2026);
    EXPECT_EQ(50, item->m_nHeight);
    EXPECT_EQ(1u, Renders());
    EXPECT_TRUE(Invalidated());
    // The host has the height already: its query hands nothing over.
    TODAYLISTITEM record = {};
    record.cyp = 50;
    EXPECT_EQ(FALSE, SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0));
}

TEST_F(Input, AResizeFollowsANewWidthOnly)
{
    Start(Time(2026, 12, 8));
    const int width = item->m_nWidth;
    SendMessageW(item->m_hWnd, WM_SIZE, 0, MAKELPARAM(width, 77));
    EXPECT_EQ(0u, Renders());
    SendMessageW(item->m_hWnd, WM_SIZE, 0, MAKELPARAM(width - 40, 77));
    EXPECT_EQ(width - 40, item->m_nWidth);
    EXPECT_EQ(1u, Renders());
    BITMAP bitmap = {};
    GetObjectW(GetCurrentObject(item->m_hMemDC, OBJ_BITMAP), sizeof bitmap, &bitmap);
    EXPECT_EQ(width - 40, bitmap.bmWidth);
    EXPECT_FALSE(Invalidated());
}

// As a device's screen turns: the Today screen gives the item window the
// screen's new width, and the face is drawn at that width, each way.
TEST_F(Input, ATurnOfTheScreenDrawsTheFaceAtTheNewWidth)
{
    DEVICE_SCREEN upright = {};
    ASSERT_TRUE(DeviceGetScreen(&upright));
    Start(Time(2026, 12, 8));
    for (const BOOL landscape : {TRUE, FALSE}) {
        SCOPED_TRACE(landscape ? "to landscape" : "back upright");
        DeviceSetScreen(upright.szProfile, landscape);
        host.FitScreen();
        scene.width = GetSystemMetrics(SM_CXSCREEN);
        EXPECT_EQ(landscape ? upright.cy : upright.cx, scene.width);
        ExpectFace(); // the host places the item at the new width
        EXPECT_EQ(scene.width, item->m_nWidth);
    }
    DeviceSetScreen(upright.szProfile, upright.fLandscape);
}

} // namespace

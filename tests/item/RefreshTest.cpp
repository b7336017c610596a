// The refresh cycle: the height hand-over, the alarm poll and the minute tick,
// driven by refresh queries with the device clock stepped.
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"

#include <deviceaccounting.h>

#include <cstdlib>

namespace {

using namespace calendartest;

constexpr DWORD kStart = 10'000'000; // a tick count well past one interval

class Refresh : public CalendarItem
{
protected:
    void Start(const SYSTEMTIME& now, const face::Options& options = {})
    {
        Make(now, options);
        DeviceSetTickCount(kStart);
        Place(); // the first query: the height goes to the host
        clock = now;
        renders = host.watermarks.size();
    }

    // One refresh query of the host, with the item placed as before.
    LRESULT Query()
    {
        record.cyp = static_cast<DWORD>(placedHeight);
        return SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    }

    void Advance(DWORD milliseconds)
    {
        DeviceSetTickCount(GetTickCount() + milliseconds);
    }

    void SetClock(int hour, int minute, int day = 0)
    {
        clock.wHour = static_cast<WORD>(hour);
        clock.wMinute = static_cast<WORD>(minute);
        if (day)
            clock.wDay = static_cast<WORD>(day);
        SetLocalTime(&clock);
    }

    size_t RendersSinceStart() const { return host.watermarks.size() - renders; }

    bool Invalidated() const { return GetUpdateRect(item->m_hWnd, nullptr, FALSE) != FALSE; }

    TODAYLISTITEM record = {};
    SYSTEMTIME clock = {};
    size_t renders = 0;
};

TEST_F(Refresh, TheOnlyAlarmSetIsNumberTwo)
{
    Start(Time(2026, 12, 8, 10, 30));
    EXPECT_FALSE(g_bAlarmSet); // read by the first query: no keys at all
    PutAlarmFlags(2, 1);
    Advance(61'000);
    EXPECT_EQ(FALSE, Query());
    EXPECT_TRUE(g_bAlarmSet);
    EXPECT_EQ(1u, RendersSinceStart());
    EXPECT_TRUE(Invalidated());
    scene.icon = onBell.Get();
    ExpectFace();
}

TEST_F(Refresh, NoFlagSetMeansNoAlarmAndTheNextReadWaitsAnInterval)
{
    for (int n = 0; n < 3; ++n)
        PutAlarmFlags(n, 0);
    Start(Time(2026, 12, 8, 10, 30));
    EXPECT_FALSE(g_bAlarmSet);
    const DWORD read = g_dwLastAlarmCheck;
    EXPECT_EQ(kStart, read); // the first query read at once

    Advance(30'000);
    Query();
    EXPECT_EQ(read, g_dwLastAlarmCheck);
    Advance(30'000); // exactly one interval: not more than it
    Query();
    EXPECT_EQ(read, g_dwLastAlarmCheck);
    Advance(1);
    Query();
    EXPECT_EQ(kStart + 60'001, g_dwLastAlarmCheck);
    EXPECT_FALSE(g_bAlarmSet);
    EXPECT_EQ(0u, RendersSinceStart()); // an unchanged state draws nothing
    EXPECT_FALSE(Invalidated());
}

TEST_F(Refresh, TheIntervalHoldsAcrossTheTickCountsWrap)
{
    Start(Time(2026, 12, 8, 10, 30));
    DeviceSetTickCount(0xFFFFFFFFu - 10'000);
    Query();
    const DWORD read = g_dwLastAlarmCheck;
    ASSERT_EQ(0xFFFFFFFFu - 10'000, read);
    DeviceSetTickCount(0x1000); // wrapped; 14097 ms later
    Query();
    EXPECT_EQ(read, g_dwLastAlarmCheck);
    DeviceSetTickCount(read + 60'001); // wraps too
    Query();
    EXPECT_EQ(read + 60'001, g_dwLastAlarmCheck);
}

TEST_F(Refresh, TheClockShowsAChangeOfWholeHoursOnlyAtTheNextMinute)
{
    Start(Time(2026, 12, 8, 10, 30));
    SetClock(13, 30);
    Query();
    EXPECT_EQ(10, item->m_nHour);
    EXPECT_EQ(0u, RendersSinceStart());
    SetClock(13, 31);
    Query();
    EXPECT_EQ(13, item->m_nHour);
    EXPECT_EQ(31, item->m_nMinute);
    EXPECT_EQ(1u, RendersSinceStart());
    EXPECT_TRUE(Invalidated());
    scene.hour = 13;
    scene.minute = 31;
    ExpectFace();
}

TEST_F(Refresh, MidnightMovesTodayOnlyWhileTheClockIsShown)
{
    face::Options hidden;
    hidden.clock = 0;
    Start(Time(2026, 12, 8, 23, 59), hidden);
    SetClock(0, 0, 9);
    Query();
    EXPECT_EQ(8, item->m_nTodayDay);
    EXPECT_EQ(0u, RendersSinceStart());

    Start(Time(2026, 12, 8, 23, 59));
    SetClock(0, 0, 9);
    Query();
    EXPECT_EQ(9, item->m_nTodayDay);
    EXPECT_EQ(12, item->m_nMonth);
    scene.todayDay = 9;
    scene.hour = 0;
    scene.minute = 0;
    ExpectFace();
}

TEST_F(Refresh, TheMonthStaysWhenTheYearTurns)
{
    Start(Time(2026, 12, 31, 23, 59));
    SetClock(0, 0, 1);
    clock.wMonth = 1;
    clock.wYear = 2027;
    SetLocalTime(&clock);
    Query();
    EXPECT_EQ(1, item->m_nTodayMonth);
    EXPECT_EQ(2027, item->m_nTodayYear);
    EXPECT_EQ(12, item->m_nMonth);
    EXPECT_EQ(2026, item->m_nYear);
}

TEST_F(Refresh, ANewHeightGoesToTheHostAloneWithoutAnAlarmPoll)
{
    Start(Time(2026, 2, 10, 10, 30)); // February 2026: 5 week rows
    item->m_nMonth = 3;              // March 2026: 6
    ASSERT_TRUE(item->UpdateLayout());
    Advance(120'000);
    const DWORD read = g_dwLastAlarmCheck;
    SetClock(10, 31);
    EXPECT_EQ(TRUE, Query());
    EXPECT_EQ(static_cast<DWORD>(item->m_nHeight), record.cyp);
    EXPECT_EQ(nullptr, item->m_hMemDC);
    EXPECT_EQ(read, g_dwLastAlarmCheck);
    EXPECT_EQ(30, item->m_nMinute);

    placedHeight = static_cast<int>(record.cyp);
    EXPECT_EQ(FALSE, Query()); // now the poll and the minute
    EXPECT_NE(read, g_dwLastAlarmCheck);
    EXPECT_EQ(31, item->m_nMinute);
}

TEST_F(Refresh, AnAlarmIntervalOfZeroNeverReads)
{
    face::Options off;
    off.alarm = 0;
    PutAlarmFlags(0, 1);
    Start(Time(2026, 12, 8, 10, 30), off);
    const DWORD openings = DeviceRegistryOpenings();
    for (int i = 0; i < 50; ++i) {
        Advance(120'000);
        Query();
    }
    EXPECT_EQ(openings, DeviceRegistryOpenings());
    EXPECT_FALSE(g_bAlarmSet);
    scene.icon = nullptr;
    ExpectFace();
}

TEST_F(Refresh, AnHourOfQueriesReadsTheAlarmsOncePerInterval)
{
    PutAlarmFlags(0, 0);
    PutAlarmFlags(1, 0);
    Start(Time(2026, 12, 8, 10, 0));
    const DWORD openings = DeviceRegistryOpenings();
    int reads = 0;
    DWORD stamp = g_dwLastAlarmCheck;
    for (int second = 2; second <= 3600; second += 2) {
        DeviceSetTickCount(kStart + static_cast<DWORD>(second) * 1000);
        clock.wHour = static_cast<WORD>(10 + second / 3600);
        clock.wMinute = static_cast<WORD>(second / 60 % 60);
        clock.wSecond = static_cast<WORD>(second % 60);
        SetLocalTime(&clock);
        Query();
        if (g_dwLastAlarmCheck != stamp) {
            ++reads;
            stamp = g_dwLastAlarmCheck;
        }
    }
    // More than 60 s between reads: every 62 s with 2-second queries.
    EXPECT_EQ(3600 / 62, reads);
    // Each read tests the three keys and reads the two that exist.
    EXPECT_EQ(static_cast<DWORD>(reads * 5), DeviceRegistryOpenings() - openings);
    EXPECT_EQ(60u, RendersSinceStart()); // one per minute
}

TEST_F(Refresh, TheBellsSuitTheScreensDensity)
{
    Start(Time(2026, 12, 8, 10, 30));
    const int dpi = devicefacts::ProfileDpi();
    const int size = dpi == 192 ? 32 : 16;
    for (HICON icon : {g_hAlarmOnIcon, g_hAlarmOffIcon}) {
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap;
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        EXPECT_EQ(size, bitmap.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(Refresh, ACreationMessageAgainKeepsOnlyOnePairOfBells)
{
    Start(Time(2026, 12, 8, 10, 30));
    const LONG icons = DeviceLiveResources(DEVICE_ICONS);
    CREATESTRUCTW cs = {};
    SendMessageW(item->m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
    SendMessageW(item->m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
    EXPECT_EQ(icons, DeviceLiveResources(DEVICE_ICONS));
    EXPECT_NE(nullptr, g_hAlarmOnIcon);
}

TEST_F(Refresh, TheBellsGoWithTheWindow)
{
    Start(Time(2026, 12, 8, 10, 30));
    HICON on = g_hAlarmOnIcon, off = g_hAlarmOffIcon;
    ASSERT_NE(nullptr, on);
    DestroyWindow(item->m_hWnd);
    EXPECT_EQ(nullptr, g_hAlarmOnIcon);
    EXPECT_EQ(nullptr, g_hAlarmOffIcon);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(on, &info));
    EXPECT_FALSE(GetIconInfo(off, &info));
    // With the bells gone the face draws none.
    item->m_hWnd = nullptr;
    item->Render();
}

} // namespace

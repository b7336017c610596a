// A calendar item through simulated days of the Today screen's 2-second
// refresh queries, the device clock stepped across midnights, a month's and a
// year's end, with strokes, taps and keys between them and the settings
// switched through their combinations. SOAK_DAYS sets the days (default 1).
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"

#include <deviceaccounting.h>
#include <devicegesture.h>

#include <psapi.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>

namespace {

using devicefacts::Counts;
using devicefacts::Live;
using namespace calendartest;

constexpr int kQueriesPerDay = 24 * 60 * 60 / 2;

// The process's committed memory (Wine keeps no private-bytes figure).
SIZE_T CommittedBytes()
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return memory.PagefileUsage;
}

SYSTEMTIME Plus(const SYSTEMTIME& start, std::int64_t seconds)
{
    FILETIME file;
    SystemTimeToFileTime(&start, &file);
    const std::uint64_t ticks = ((static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime) +
                                static_cast<std::uint64_t>(seconds) * 10'000'000;
    file.dwLowDateTime = static_cast<DWORD>(ticks);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME time;
    FileTimeToSystemTime(&file, &time);
    return time;
}

class Soak : public CalendarItem
{
protected:
    void Query()
    {
        TODAYLISTITEM record = {};
        record.cyp = static_cast<DWORD>(placedHeight);
        if (SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0)) {
            placedHeight = static_cast<int>(record.cyp);
            SetWindowPos(item->m_hWnd, nullptr, 0, kTop, scene.width, placedHeight, SWP_NOZORDER);
        }
        UpdateWindow(item->m_hWnd);
    }

    // A user's touch or key, away from the bell.
    void Touch()
    {
        const int x = std::uniform_int_distribution<int>(30, scene.width - 1)(random);
        const int y = std::uniform_int_distribution<int>(30, 60)(random);
        const int dx = std::uniform_int_distribution<int>(-40, 40)(random);
        const int dy = std::uniform_int_distribution<int>(-40, 40)(random);
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
        case 0:
            SendMessageW(item->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            SendMessageW(item->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y + dy));
            break;
        case 1:
            SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, dx < 0 ? VK_LEFT : VK_RIGHT, 0);
            break;
        case 2:
            SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_ACTION, 0, 0);
            break;
        default:
            SendMessageW(item->m_hWnd, WM_SIZE, 0, MAKELPARAM(scene.width - (dx & 1), 40));
            break;
        }
    }

    void Switch(int combination)
    {
        Settings::Clock = combination & 1 ? 0 : 1;
        Settings::Weeks = combination & 2 ? 0 : 1;
        Settings::DayNames = combination & 4 ? 0 : 1;
        Settings::Weekend = combination & 8 ? 2 : 1;
        Settings::Alarm = combination & 16 ? 0 : 60000;
        SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_ACTION, 0, 0);
    }

    std::mt19937 random{20261208};
};

TEST_F(Soak, DaysOfRefreshesLeaveNothingBehindAndFollowTheDate)
{
    const char* daysText = std::getenv("SOAK_DAYS");
    const int days = daysText ? std::atoi(daysText) : 1;
    // A short soak crosses a midnight, a month's and a year's end; a week
    // starts before them.
    const SYSTEMTIME start = days > 1 ? Time(2026, 12, 28, 0, 0) : Time(2026, 12, 31, 12, 0);
    const DWORD noHold = 0;
    DeviceScriptGestures(&noHold, 1);
    Make(start);
    DeviceSetTickCount(0xFFFFFFFFu - 3'600'000); // the tick count wraps an hour in
    Place();

    const Counts steady = Live();
    SIZE_T memoryWarm = 0;
    int combination = 0, clockOnSince = 0;
    const DWORD startTick = GetTickCount();
    for (int q = 1; q <= days * kQueriesPerDay && !HasFatalFailure(); ++q) {
        const SYSTEMTIME now = Plus(start, 2 * static_cast<std::int64_t>(q));
        SetLocalTime(&now);
        DeviceSetTickCount(startTick + 2000u * static_cast<DWORD>(q));
        Query();

        if (Settings::Clock && q > clockOnSince + 30) {
            ASSERT_EQ(now.wDay, item->m_nTodayDay) << "query " << q;
            ASSERT_EQ(now.wMonth, item->m_nTodayMonth);
            ASSERT_EQ(now.wYear, item->m_nTodayYear);
        }
        if (q % 733 == 0)
            Touch();
        if (q % 311 == 0)
            PutAlarmFlags(q % 3, static_cast<BYTE>(q % 2));
        if (q % 5400 == 0) { // every three hours
            const bool clockWasOn = Settings::Clock != 0;
            Switch(++combination);
            if (!clockWasOn && Settings::Clock)
                clockOnSince = q;
        }
        if (q % kQueriesPerDay == 0) {
            Switch(0); // the steady state's settings, as at the start
            Query();
            InvalidateRect(item->m_hWnd, nullptr, TRUE);
            UpdateWindow(item->m_hWnd);
            ASSERT_TRUE(item->m_hMemDC != nullptr);
            EXPECT_EQ(steady, Live()) << "day " << q / kQueriesPerDay;
        }
        if (q == kQueriesPerDay / 8)
            memoryWarm = CommittedBytes(); // three hours in
    }
    ASSERT_GT(memoryWarm, 0u);
    EXPECT_LT(CommittedBytes(), memoryWarm + 2 * 1024 * 1024);
    EXPECT_GE(item->m_nMonth, 1);
    EXPECT_LE(item->m_nMonth, 12);
}

} // namespace

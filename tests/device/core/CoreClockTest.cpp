// The device clock: set per process, running on, held for tests, never the
// host computer's clock.
#include <deviceclock.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::int64_t Ticks100ns(const SYSTEMTIME& time)
{
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    return (static_cast<std::int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0)
{
    SYSTEMTIME time = {};
    time.wYear = year, time.wMonth = month, time.wDay = day;
    time.wHour = hour, time.wMinute = minute, time.wSecond = second;
    return time;
}

class DeviceClockTest : public testing::Test
{
protected:
    void TearDown() override { DeviceResetClock(); }
};

TEST_F(DeviceClockTest, LocalTimeRunsOnFromTheTimeSet)
{
    const SYSTEMTIME set = At(2026, 12, 31, 23, 59, 30);
    ASSERT_TRUE(SetLocalTime(&set));
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(2026, now.wYear);
    EXPECT_EQ(12, now.wMonth);
    EXPECT_EQ(31, now.wDay);
    EXPECT_EQ(4, now.wDayOfWeek); // Thursday
    const std::int64_t elapsed = Ticks100ns(now) - Ticks100ns(set);
    EXPECT_GE(elapsed, 0);
    EXPECT_LT(elapsed, 20'000'000); // under two seconds
}

TEST_F(DeviceClockTest, TheHostComputersClockIsUntouched)
{
    const SYSTEMTIME set = At(1999, 1, 2, 3, 4);
    ASSERT_TRUE(SetLocalTime(&set));
    SYSTEMTIME host;
    ::GetSystemTime(&host);
    EXPECT_GT(host.wYear, 2020);
}

TEST_F(DeviceClockTest, AnImpossibleTimeIsRefused)
{
    SYSTEMTIME bad = At(2026, 13, 1, 0, 0);
    EXPECT_FALSE(SetLocalTime(&bad));
    EXPECT_FALSE(SetLocalTime(nullptr));
}

TEST_F(DeviceClockTest, AHeldClockStandsStillUntilSet)
{
    const SYSTEMTIME set = At(2026, 6, 1, 8, 0, 0);
    DeviceHoldClock(TRUE);
    SetLocalTime(&set);
    DeviceSetTickCount(1000);
    Sleep(30);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(Ticks100ns(set), Ticks100ns(now));
    EXPECT_EQ(1000u, GetTickCount());

    DeviceHoldClock(FALSE);
    Sleep(30);
    EXPECT_GT(GetTickCount(), 1000u);
    GetLocalTime(&now);
    EXPECT_GT(Ticks100ns(now), Ticks100ns(set));
}

TEST_F(DeviceClockTest, TheTickCountWrapsPast32Bits)
{
    DeviceSetTickCount(0xFFFFFFF0u);
    Sleep(50);
    const DWORD after = GetTickCount();
    EXPECT_LT(after, 0x1000u);
    EXPECT_GE(after - 0xFFFFFFF0u, 50u - 16u); // unsigned difference survives the wrap
}

TEST_F(DeviceClockTest, ResetReturnsToTheHostClock)
{
    const SYSTEMTIME set = At(2001, 1, 1, 0, 0);
    SetLocalTime(&set);
    DeviceResetClock();
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_GT(now.wYear, 2020);
}

} // namespace

#include "DateMath.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

int Weekday(int day, int month, int year)
{
    return DayOfWeek(DateRec{day, month, year});
}

struct WorkedValue
{
    int day, month, year;
    int weekday;
    int week;
};

TEST(DateMath, WorkedValues)
{
    const WorkedValue values[] = {
        {1, 1, 2026, 4, 1},
        {1, 2, 2026, 0, 5},
        {1, 3, 2026, 0, 9},
        {1, 6, 2026, 1, 22},
        {1, 12, 2026, 2, 49},
        {1, 1, 2027, 5, 0},
        {1, 12, 2025, 1, 48},
        {1, 1, 2024, 1, 0},
        {1, 1, 2000, 6, 0},
    };
    for (const WorkedValue& v : values) {
        SCOPED_TRACE(testing::Message() << v.day << "." << v.month << "." << v.year);
        EXPECT_EQ(v.weekday, Weekday(v.day, v.month, v.year));
        EXPECT_EQ(v.week, WeekNumber(v.day, v.month, v.year));
    }
}

TEST(DateMath, WeekdaysOfOtherDays)
{
    EXPECT_EQ(1, Weekday(7, 12, 2026));
    EXPECT_EQ(0, Weekday(29, 2, 2032));
    EXPECT_EQ(3, Weekday(31, 12, 1969));
}

TEST(DateMath, WeekNumberOfLateDecemberCanBeMinusOne)
{
    // Days of late December fall below the seed range; the item never asks for them.
    EXPECT_EQ(-1, WeekNumber(28, 12, 2020));
    EXPECT_EQ(50, WeekNumber(14, 12, 2020));
}

TEST(DateMath, DaysInMonthFollowsTheGregorianLeapRule)
{
    EXPECT_EQ(29, DaysInMonth(2, 2024));
    EXPECT_EQ(29, DaysInMonth(2, 2000));
    EXPECT_EQ(28, DaysInMonth(2, 2100));
    EXPECT_EQ(28, DaysInMonth(2, 2026));
    EXPECT_EQ(31, DaysInMonth(8, 2026));
    EXPECT_EQ(30, DaysInMonth(4, 2026));
    EXPECT_EQ(31, DaysInMonth(12, 2026));
    EXPECT_EQ(29, DaysInMonth(2, -4));
}

TEST(DateMath, NameTables)
{
    EXPECT_STREQ(L"Январь", g_apszMonthNames[1]);
    EXPECT_STREQ(L"Май", g_apszMonthNames[5]);
    EXPECT_STREQ(L"Декабрь", g_apszMonthNames[12]);
    EXPECT_STREQ(L"пн", g_apszWeekdayNames[0]);
    EXPECT_STREQ(L"сб", g_apszWeekdayNames[5]);
    EXPECT_STREQ(L"вс", g_apszWeekdayNames[6]);
    int total = 0;
    for (int m = 1; m <= 12; ++m)
        total += g_anMonthDays[m];
    EXPECT_EQ(365, total);
}

TEST(DateMath, SteppingMonthsAndYears)
{
    const struct
    {
        void (*step)(int&, int&);
        const char* name;
        int month, year, steppedMonth, steppedYear;
    } cases[] = {
        {NextMonth, "NextMonth", 12, 2026, 1, 2027},
        {PrevMonth, "PrevMonth", 1, 2026, 12, 2025},
        {NextMonth, "NextMonth", 6, 2025, 7, 2025},
        {PrevMonth, "PrevMonth", 7, 2025, 6, 2025},
        {NextYear, "NextYear", 2, 2026, 2, 2027},
        {PrevYear, "PrevYear", 2, 2026, 2, 2025},
    };
    for (const auto& c : cases) {
        int month = c.month, year = c.year;
        c.step(month, year);
        EXPECT_EQ(c.steppedMonth, month) << c.name << " from " << c.month << "/" << c.year;
        EXPECT_EQ(c.steppedYear, year) << c.name << " from " << c.month << "/" << c.year;
    }
}

TEST(DateMath, FarYearsWrapInsteadOfOverflowing)
{
    int month = 12, year = INT_MAX;
    NextMonth(month, year);
    EXPECT_EQ(1, month);
    EXPECT_EQ(INT_MIN, year);
    PrevMonth(month, year);
    EXPECT_EQ(12, month);
    EXPECT_EQ(INT_MAX, year);

    year = INT_MIN;
    PrevYear(month, year);
    EXPECT_EQ(INT_MAX, year);
    NextYear(month, year);
    EXPECT_EQ(INT_MIN, year);
}

TEST(DateMath, FarYearsGiveResultsInRange)
{
    // The item's layout only needs bounded answers for years no clock reaches.
    for (int year : {INT_MAX, INT_MAX - 1, INT_MIN / 2, INT_MAX / 2, -5636, 1000000}) {
        for (int month = 1; month <= 12; ++month) {
            SCOPED_TRACE(testing::Message() << month << "/" << year);
            const int weekday = Weekday(1, month, year);
            EXPECT_GE(weekday, -6);
            EXPECT_LE(weekday, 6);
            const int week = WeekNumber(1, month, year);
            EXPECT_GE(week, -53);
            EXPECT_LE(week, 51);
            const int days = DaysInMonth(month, year);
            EXPECT_GE(days, 28);
            EXPECT_LE(days, 31);
        }
    }
    EXPECT_GE(Weekday(1, 1, -5636), 0);
}

} // namespace

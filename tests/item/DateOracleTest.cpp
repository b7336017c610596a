// The calendar arithmetic against an independent implementation of the
// Gregorian and ISO week calendars.
#include "DateMath.h"

#include <date/date.h>
#include <date/iso_week.h>

#include <gtest/gtest.h>

namespace {

TEST(DateOracle, FirstOfEveryMonthFrom1900To2100)
{
    using namespace date;
    int checked = 0;
    for (year_month ym = 1900_y / March; ym <= 2100_y / February; ym += months{1}) {
        const year_month_day first = ym / 1;
        const int year = static_cast<int>(ym.year());
        const int month = static_cast<int>(static_cast<unsigned>(ym.month()));
        SCOPED_TRACE(testing::Message() << "1." << month << "." << year);

        const weekday wd{sys_days{first}};
        EXPECT_EQ(static_cast<int>(wd.c_encoding()), DayOfWeek(DateRec{1, month, year}));

        const iso_week::year_weeknum_weekday iso{sys_days{first}};
        int expected = static_cast<int>(static_cast<unsigned>(iso.weeknum()));
        if (iso.year() != iso_week::year{year})
            expected = 0;
        else if (wd == Monday)
            expected -= 1;
        EXPECT_EQ(expected, WeekNumber(1, month, year));

        EXPECT_EQ(static_cast<int>(static_cast<unsigned>((ym / last).day())), DaysInMonth(month, year));
        ++checked;
    }
    EXPECT_EQ(2400, checked);
}

} // namespace

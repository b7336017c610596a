// Calendar arithmetic: weekdays, week-number seeds, month lengths, the Russian
// month and weekday names, and stepping of the displayed month and year.
#pragma once

// A date as the item keeps it: day 1..31, month 1..12, full year (unbounded).
struct DateRec
{
    int nDay;
    int nMonth;
    int nYear;
};

// Month lengths of a common year, indexed by month 1..12 (entry 0 unused).
extern const int g_anMonthDays[13];
// Month names, nominative and capitalised, indexed by month 1..12 (entry 0 unused).
extern const wchar_t* const g_apszMonthNames[13];
// Weekday abbreviations, Monday first.
extern const wchar_t* const g_apszWeekdayNames[7];

// 0 = Sunday, 1 = Monday ... 6 = Saturday.
int DayOfWeek(const DateRec& date);
// Week-number seed of a date: for the 1st of a month, the ISO week, one less
// when the 1st is a Monday, and 0 for a 1 January in the previous year's last week.
int WeekNumber(int nDay, int nMonth, int nYear);
// 28..31, with the Gregorian leap rule for February.
int DaysInMonth(int nMonth, int nYear);

// Stepping of a displayed month and year, in place; the month stays in 1..12.
void NextMonth(int& nMonth, int& nYear);
void PrevMonth(int& nMonth, int& nYear);
void NextYear(int& nMonth, int& nYear);
void PrevYear(int& nMonth, int& nYear);

#include "DateMath.h"

const int g_anMonthDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

const wchar_t* const g_apszMonthNames[13] = {
    L"",
    L"Январь", L"Февраль", L"Март", L"Апрель", L"Май", L"Июнь",
    L"Июль", L"Август", L"Сентябрь", L"Октябрь", L"Ноябрь", L"Декабрь",
};

const wchar_t* const g_apszWeekdayNames[7] = {
    L"пн", L"вт", L"ср", L"чт", L"пт", L"сб", L"вс",
};

namespace {

// The year is unbounded, so the 32-bit arithmetic below may leave the int
// range for far years. It wraps as two's complement instead of overflowing;
// every result within range is the plain signed one.
int Add(int a, int b)
{
    return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

int Sub(int a, int b)
{
    return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}

int Mul(int a, int b)
{
    return static_cast<int>(static_cast<unsigned>(a) * static_cast<unsigned>(b));
}

} // namespace

int DayOfWeek(const DateRec& date)
{
    const int a = (14 - date.nMonth) / 12;
    const int y = Sub(date.nYear, a);
    const int m = date.nMonth + 12 * a - 2;
    int s = Add(date.nDay, y);
    s = Add(s, y / 4);
    s = Sub(s, y / 100);
    s = Add(s, y / 400);
    s = Add(s, (31 * m) / 12 + 7000);
    return s % 7;
}

int WeekNumber(int nDay, int nMonth, int nYear)
{
    const int a = (14 - nMonth) / 12;
    const int y = Sub(Add(nYear, 4800), a);
    const int m = nMonth + 12 * a - 3;
    // A day count without century terms and with 32083, on purpose.
    int j = Add(nDay, (153 * m + 2) / 5);
    j = Add(j, Mul(365, y));
    j = Add(j, y / 4);
    j = Sub(j, 32083);
    const int d4 = ((Add(Sub(j, j % 7), 31741) % 146097) % 36524) % 1461;
    const int l = d4 / 1460;
    const int d1 = ((d4 - l) % 365) + l;
    return d1 / 7 - 1;
}

int DaysInMonth(int nMonth, int nYear)
{
    if (nMonth == 2 && ((nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0))
        return 29;
    return g_anMonthDays[nMonth];
}

void NextMonth(int& nMonth, int& nYear)
{
    if (++nMonth > 12) {
        nMonth = 1;
        nYear = Add(nYear, 1);
    }
}

void PrevMonth(int& nMonth, int& nYear)
{
    if (--nMonth < 1) {
        nMonth = 12;
        nYear = Sub(nYear, 1);
    }
}

void NextYear(int&, int& nYear)
{
    nYear = Add(nYear, 1);
}

void PrevYear(int&, int& nYear)
{
    nYear = Sub(nYear, 1);
}

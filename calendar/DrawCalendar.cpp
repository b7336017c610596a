// The calendar face, drawn into the item's off-screen surface.
#include "MyToday.h"

#include "DateMath.h"
#include "ScaleByDpi.h"
#include "Settings.h"

bool g_bAlarmSet = false;
HICON g_hAlarmOnIcon = NULL;
HICON g_hAlarmOffIcon = NULL;

void CMyToday::DrawCalendar(HDC hdc, RECT rc)
{
    wchar_t szText[300] = {};
    const COLORREF crText = TextColor();
    const int nCell = m_nCellWidth;
    const int nRow = m_nRowHeight;

    // 1. Transparent text in the host's colour.
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, crText);

    // 2. The alarm bell in the top-left corner.
    if (Settings::Alarm != 0) {
        HICON hIcon = g_bAlarmSet ? g_hAlarmOnIcon : g_hAlarmOffIcon;
        if (hIcon)
            DrawIconEx(hdc, ScaleByDpi(kBellMargin, kDpiX), ScaleByDpi(kBellMargin, kDpiY), hIcon, 0, 0, 0, NULL, DI_NORMAL);
    }

    // 3. The time shown is always read afresh.
    SYSTEMTIME st;
    GetLocalTime(&st);

    // 4. The grid sits at the right edge of the item.
    int x0;
    if (Settings::Weeks)
        x0 = rc.right - 8 * nCell - ScaleByDpi(kWeekOffset, kDpiX);
    else
        x0 = rc.right - 7 * nCell - ScaleByDpi(kGridMargin, kDpiX);

    // 5. The clock column: the time below the month name and year.
    HGDIOBJ hOldFont;
    if (Settings::Clock) {
        hOldFont = SelectObject(hdc, m_hBoldFont);
        SetTextColor(hdc, Settings::Color4);
        rc.top = m_nClockHeight;
        rc.right = x0 - 1;
        wsprintfW(szText, L"%0.2d:%0.2d", st.wHour, st.wMinute);
        DrawTextW(hdc, szText, -1, &rc, DT_CENTER);

        SetTextColor(hdc, crText);
        SelectObject(hdc, m_hFont);
        rc.top = 0;
        rc.bottom = m_nClockHeight;
        wsprintfW(szText, L"%s\r\n%d", g_apszMonthNames[m_nMonth], m_nYear);
        DrawTextW(hdc, szText, -1, &rc, DT_CENTER | DT_WORDBREAK);
    } else {
        hOldFont = SelectObject(hdc, m_hFont);
        x0 /= 2;
    }

    // 6. The line between the days and the week numbers, in the DC's pen.
    if (Settings::Weeks) {
        const int xLine = x0 + 7 * nCell + ScaleByDpi(kSeparatorOffset, kDpiX);
        MoveToEx(hdc, xLine, 0, NULL);
        LineTo(hdc, xLine, m_nHeight);
    }

    // 7. The weekday names, Monday first.
    int nTop = 0;
    if (Settings::DayNames) {
        SetTextColor(hdc, crText);
        SetRect(&rc, x0, 0, x0 + nCell, nRow);
        for (int i = 0; i < 7; ++i) {
            DrawTextW(hdc, g_apszWeekdayNames[i], -1, &rc, DT_RIGHT);
            rc.left += nCell;
            rc.right += nCell;
        }
        nTop = nRow;
    }

    // 8. The cell of the 1st.
    int w = m_nFirstWeekday;
    SetRect(&rc, x0 + (w - 1) * nCell, nTop, x0 + w * nCell, nTop + nRow);
    int nWeek = m_nFirstWeek;
    const bool bCurrent = m_nYear == m_nTodayYear && m_nMonth == m_nTodayMonth;

    // 9. The days, a week to a row, each row ending in its week number.
    const int nDays = DaysInMonth(m_nMonth, m_nYear);
    for (int d = 1; d <= nDays; ++d) {
        if (w == 8)
            w = 1;
        if (bCurrent && d == m_nTodayDay)
            SetTextColor(hdc, Settings::Color3);
        else if (static_cast<DWORD>(w) > 7u - Settings::Weekend)
            SetTextColor(hdc, w == 6 ? Settings::Color1 : Settings::Color2);
        else
            SetTextColor(hdc, crText);
        wsprintfW(szText, L"%d", d);
        DrawTextW(hdc, szText, -1, &rc, DT_RIGHT);
        rc.left += nCell;
        rc.right += nCell;
        ++w;

        if (w == 8) {
            if (Settings::Weeks) {
                rc.left += ScaleByDpi(kWeekOffset, kDpiX);
                rc.right += ScaleByDpi(kWeekOffset, kDpiX);
                SetTextColor(hdc, crText);
                wsprintfW(szText, L"%d", nWeek);
                if (nWeek != 0)
                    DrawTextW(hdc, szText, -1, &rc, DT_LEFT);
                ++nWeek;
            }
            rc.top += nRow;
            rc.bottom += nRow;
            rc.left = x0;
            rc.right = x0 + nCell;
        }
    }

    // 10. The week number of a last row that does not end on a Sunday.
    if (w != 8 && Settings::Weeks) {
        SetRect(&rc, x0 + 7 * nCell + ScaleByDpi(kWeekOffset, kDpiX), rc.top, x0 + 8 * nCell + ScaleByDpi(kWeekOffset, kDpiX),
            rc.bottom);
        SetTextColor(hdc, crText);
        wsprintfW(szText, L"%d", nWeek);
        DrawTextW(hdc, szText, -1, &rc, DT_LEFT);
    }

    // 11. The font of the caller back.
    SelectObject(hdc, hOldFont);
}

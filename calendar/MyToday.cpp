#include "MyToday.h"

#include "DateMath.h"
#include "ScaleByDpi.h"
#include "Settings.h"

#include <wchar.h>

namespace {

// -((dpi * points) div 72). Sizes are typed into the registry by hand, so the
// product may leave the int range; it wraps instead of overflowing.
int FontHeight(int nDpi, int nPoints)
{
    const int nProduct = static_cast<int>(static_cast<unsigned>(nDpi) * static_cast<unsigned>(nPoints));
    return -(nProduct / 72);
}

} // namespace

// The metrics, the stylus point and the width are zero until OnInit and the
// first stylus-down set them; messages may come before.
CMyToday::CMyToday(HINSTANCE hInstance, LPCWSTR pszClassName, LPCWSTR pszWindowName)
    : CTodayWindow(hInstance, pszClassName, pszWindowName), m_nCellWidth(0), m_nRowHeight(0), m_nClockHeight(0),
      m_nTodayDay(0), m_nTodayMonth(0), m_nTodayYear(0), m_nHour(0), m_nMinute(0), m_nMonth(0), m_nYear(0),
      m_nFirstWeek(0), m_nFirstWeekday(0), m_ptDown(), m_nWidth(0), m_hMemDC(NULL), m_hOldBitmap(NULL),
      m_bSelected(FALSE), m_crHighlight(0), m_crHighlightText(0)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    TakeClock(st);
    m_nMonth = st.wMonth;
    m_nYear = st.wYear;
    m_nHeight = kDefaultHeight;
    m_hMemDC = NULL;
    m_hOldBitmap = NULL;
    m_nFirstWeek = 0;
    m_nFirstWeekday = 0;
}

CMyToday::~CMyToday()
{
    DestroySurface();
}

void CMyToday::TakeClock(const SYSTEMTIME& st)
{
    m_nTodayDay = st.wDay;
    m_nTodayMonth = st.wMonth;
    m_nTodayYear = st.wYear;
    m_nHour = st.wHour;
    m_nMinute = st.wMinute;
}

void CMyToday::OnInit()
{
    m_crText = static_cast<COLORREF>(SendMessageW(m_hwndParent, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
    MakeFonts();
    UpdateLayout();
    m_nWidth = GetSystemMetrics(SM_CXSCREEN);
    CreateSurface();
    Render();
}

bool CMyToday::MakeFonts()
{
    m_nCellWidth = 0;
    m_nRowHeight = 0;
    m_nClockHeight = 0;
    HDC hdc = GetDC(NULL);
    if (!hdc)
        return false;
    LOGFONTW lf = {};
    if (!GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf)) {
        ReleaseDC(NULL, hdc);
        return false;
    }

    // A second initialisation (the host may call the entry again) replaces the fonts.
    if (m_hFont)
        DeleteObject(m_hFont);
    if (m_hBoldFont)
        DeleteObject(m_hBoldFont);

    wcscpy(lf.lfFaceName, Settings::Font);
    lf.lfHeight = FontHeight(GetDeviceCaps(hdc, LOGPIXELSY), Settings::FontSize);
    if (Settings::FontBold)
        lf.lfWeight = FW_BOLD;
    m_hFont = CreateFontIndirectW(&lf);

    // The same record: a bold calendar font makes the clock bold as well.
    wcscpy(lf.lfFaceName, Settings::ClockFont);
    lf.lfHeight = FontHeight(GetDeviceCaps(hdc, LOGPIXELSY), Settings::ClockFontSize);
    if (Settings::ClockFontBold)
        lf.lfWeight = FW_BOLD;
    m_hBoldFont = CreateFontIndirectW(&lf);

    // The cells are measured in the calendar's own font, or not at all.
    const HGDIOBJ hOldFont = m_hFont && m_hBoldFont ? SelectObject(hdc, m_hFont) : NULL;
    RECT rc = {0, 0, 10, 10};
    const bool bMeasured = hOldFont && DrawTextW(hdc, L"00", -1, &rc, DT_CALCRECT) != 0;
    if (hOldFont)
        SelectObject(hdc, hOldFont);
    ReleaseDC(NULL, hdc);
    if (!bMeasured)
        return false;
    m_nCellWidth = rc.right + ScaleByDpi(kCellPadding, kDpiX);
    m_nRowHeight = rc.bottom;
    m_nClockHeight = 2 * rc.bottom;
    return true;
}

bool CMyToday::UpdateLayout()
{
    m_nFirstWeek = WeekNumber(1, m_nMonth, m_nYear);
    const DateRec first = {1, m_nMonth, m_nYear};
    const int w = DayOfWeek(first);
    m_nFirstWeekday = w == 0 ? 7 : w;

    const int nCells = DaysInMonth(m_nMonth, m_nYear) + m_nFirstWeekday - 1;
    int nRows = nCells / 7;
    if (nCells % 7 > 0)
        ++nRows;
    if (Settings::DayNames)
        ++nRows;

    const int nHeight = nRows * m_nRowHeight;
    if (nHeight == m_nHeight)
        return false;
    m_nHeight = nHeight;
    return true;
}

void CMyToday::CreateSurface()
{
    if (m_nHeight > kMaxHeight)
        m_nHeight = kDefaultHeight;
    if (m_hMemDC)
        DestroySurface();

    // All of it or none: without a whole surface the item has none, and the
    // next render or paint tries again.
    HDC hdc = GetDC(NULL);
    if (!hdc)
        return;
    m_hMemDC = CreateCompatibleDC(hdc);
    HBITMAP hBitmap = m_hMemDC ? CreateCompatibleBitmap(hdc, m_nWidth, m_nHeight) : NULL;
    m_hOldBitmap = hBitmap ? static_cast<HBITMAP>(SelectObject(m_hMemDC, hBitmap)) : NULL;
    ReleaseDC(NULL, hdc);
    if (!m_hOldBitmap) {
        if (hBitmap)
            DeleteObject(hBitmap);
        if (m_hMemDC)
            DeleteDC(m_hMemDC);
        m_hMemDC = NULL;
    }
}

void CMyToday::DestroySurface()
{
    // The surface's bitmap goes once its DC has gone, even when it cannot be
    // selected out of it.
    HGDIOBJ hBitmap = NULL;
    if (m_hOldBitmap) {
        hBitmap = SelectObject(m_hMemDC, m_hOldBitmap);
        if (!hBitmap)
            hBitmap = GetCurrentObject(m_hMemDC, OBJ_BITMAP);
        m_hOldBitmap = NULL;
    }
    if (m_hMemDC) {
        DeleteDC(m_hMemDC);
        m_hMemDC = NULL;
    }
    if (hBitmap)
        DeleteObject(hBitmap);
}

void CMyToday::Render()
{
    if (!m_hMemDC)
        CreateSurface();
    // No surface can be made now: nothing is drawn, and the next paint
    // tries again.
    if (!m_hMemDC)
        return;
    TODAYDRAWWATERMARKINFO dwi;
    dwi.hdc = m_hMemDC;
    SetRect(&dwi.rc, 0, 0, m_nWidth, m_nHeight);
    dwi.hwnd = m_hWnd;
    if (m_bSelected) {
        HBRUSH hbrHighlight = CreateSolidBrush(m_crHighlight);
        FillRect(m_hMemDC, &dwi.rc, hbrHighlight);
        DeleteObject(hbrHighlight);
    } else {
        SendMessageW(m_hwndParent, TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&dwi));
    }
    DrawCalendar(m_hMemDC, dwi.rc);
}

void CMyToday::ShowSelection(BOOL bSelected)
{
    m_bSelected = bSelected;
    if (bSelected) {
        m_crHighlight = static_cast<COLORREF>(SendMessageW(m_hwndParent, TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHT, 0));
        m_crHighlightText =
            static_cast<COLORREF>(SendMessageW(m_hwndParent, TODAYM_GETCOLOR, TODAYCOLOR_HIGHLIGHTEDTEXT, 0));
    }
    Render();
    InvalidateRect(m_hWnd, NULL, TRUE);
}

COLORREF CMyToday::TextColor() const
{
    return m_bSelected ? m_crHighlightText : m_crText;
}

void CMyToday::OnPaint(HDC hdc)
{
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    if (!m_hMemDC)
        Render();
    if (m_hMemDC)
        BitBlt(hdc, 0, 0, rc.right, rc.bottom, m_hMemDC, 0, 0, SRCCOPY);
}

void CMyToday::OnEraseBkgnd(HDC)
{
    // The host's background is part of the surface; painting copies it.
}

// The calendar item: the displayed month, today's date, the layout, the
// off-screen surface the whole item is drawn into, and its face.
#pragma once

#include "TodayWindow.h"

// The item's height before its layout is known, and when the layout is
// taller than kMaxHeight.
const int kDefaultHeight = 50;
const int kMaxHeight = 800;

// Lengths of the face designed for 96 dpi, scaled to the screen (ScaleByDpi).
enum FaceLength
{
    kCellPadding = 4,      // a day cell's width beyond the "00" in it
    kBellMargin = 2,       // from the item's top-left corner to the bell
    kBellCorner = 20,      // the square of that corner a tap on the bell hits
    kGridMargin = 5,       // right of the grid without week numbers
    kSeparatorOffset = 10, // from the grid to the line before the week numbers
    kWeekOffset = 15,      // from the grid to the week numbers
};

// The alarm indicator, drawn by the face: the state found by the last read of
// the clock's alarms and the two bells (null while not loaded).
extern bool g_bAlarmSet;
extern HICON g_hAlarmOnIcon;
extern HICON g_hAlarmOffIcon;

// Tick count at the end of the last read of the alarm state.
extern DWORD g_dwLastAlarmCheck;

// True when any of the clock's three alarms is set; stamps g_dwLastAlarmCheck.
bool ReadAlarmState();

// Set when a tap-and-hold opened the options dialog: the stylus-up that ends
// the hold is ignored.
extern BYTE g_bMenuOpened;

class CMyToday : public CTodayWindow
{
public:
    CMyToday(HINSTANCE hInstance, LPCWSTR pszClassName, LPCWSTR pszWindowName);
    ~CMyToday() OVERRIDE;

    void OnInit() OVERRIDE;
    int OnCreate(LPCREATESTRUCTW pcs) OVERRIDE;
    void OnDestroy() OVERRIDE;
    void OnPaint(HDC hdc) OVERRIDE;
    void OnEraseBkgnd(HDC hdc) OVERRIDE;
    void OnQueryRefreshCache(TODAYLISTITEM* ptli, BOOL* pbRefresh) OVERRIDE;
    void OnLButtonUp(UINT uKeys, int x, int y) OVERRIDE;
    void OnLButtonDown(UINT uKeys, int x, int y) OVERRIDE;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) OVERRIDE;

    // The fonts and the cell metrics they give; false, with nothing
    // measured, when the platform refused a part of them (the next refresh
    // tries again).
    bool MakeFonts();
    // The bells at the screen's density; none when the density cannot be read.
    void LoadAlarmIcons();
    // True when it changed the item's height.
    bool UpdateLayout();
    void CreateSurface();
    void DestroySurface();
    void Render();
    void DrawCalendar(HDC hdc, RECT rc);
    // Today's date and the time of day from a reading of the local clock.
    void TakeClock(const SYSTEMTIME& st);
    // After a change of the displayed month: a new layout, a new surface if
    // the height changed (the host learns it at its next query), a render, and
    // otherwise an invalidation.
    void CommonRedraw();
    // The Today screen's selection taken or lost: the face drawn again, on
    // the host's highlight colours while selected.
    void ShowSelection(BOOL bSelected);
    // The colour of the face's plain text: the host's text colour, or its
    // highlighted text colour while the item is selected.
    COLORREF TextColor() const;

    int m_nCellWidth;
    int m_nRowHeight;
    int m_nClockHeight;
    int m_nTodayDay;
    int m_nTodayMonth;
    int m_nTodayYear;
    int m_nHour;
    int m_nMinute;
    int m_nMonth;
    int m_nYear;
    int m_nFirstWeek;
    int m_nFirstWeekday;
    POINT m_ptDown;
    int m_nWidth;
    HDC m_hMemDC;
    HBITMAP m_hOldBitmap;
    // The Today screen's selection: while the item holds it, its band is the
    // host's highlight colour and its plain text the highlighted text colour.
    BOOL m_bSelected;
    COLORREF m_crHighlight;
    COLORREF m_crHighlightText;
};

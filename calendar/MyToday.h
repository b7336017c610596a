// The calendar item: the displayed month, today's date, the layout, the
// off-screen surface the whole item is drawn into, and its face.
#pragma once

#include "TodayWindow.h"

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
    ~CMyToday() override;

    void OnInit() override;
    int OnCreate(LPCREATESTRUCTW pcs) override;
    void OnDestroy() override;
    void OnPaint(HDC hdc) override;
    void OnEraseBkgnd(HDC hdc) override;
    void OnQueryRefreshCache(TODAYLISTITEM* ptli, BOOL* pbRefresh) override;
    void OnLButtonUp(UINT uKeys, int x, int y) override;
    void OnLButtonDown(UINT uKeys, int x, int y) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // True when it changed the item's height.
    bool UpdateLayout();
    void CreateSurface();
    void DestroySurface();
    void Render();
    void DrawCalendar(HDC hdc, RECT rc);
    // After a change of the displayed month: a new layout, a new surface if
    // the height changed (the host learns it at its next query), a render, and
    // otherwise an invalidation.
    void CommonRedraw();

    int m_nCellWidth = 0;
    int m_nRowHeight = 0;
    int m_nClockHeight = 0;
    int m_nTodayDay = 0;
    int m_nTodayMonth = 0;
    int m_nTodayYear = 0;
    int m_nHour = 0;
    int m_nMinute = 0;
    int m_nMonth = 0;
    int m_nYear = 0;
    int m_nFirstWeek = 0;
    int m_nFirstWeekday = 0;
    POINT m_ptDown = {0, 0};
    int m_nWidth = 0;
    HDC m_hMemDC = nullptr;
    HBITMAP m_hOldBitmap = nullptr;
};

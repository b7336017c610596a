// Stylus, stroke and key input: strokes step the month or the year as the
// Gesture setting says, a tap returns to today's month or, on the bell, opens
// the clock's alarms, a tap-and-hold opens the options dialog, and the Today
// screen's navigation keys step the month.
#include "MyToday.h"

#include "DateMath.h"
#include "OptionsDlg.h"
#include "ScaleByDpi.h"
#include "Settings.h"
#include "resource.h"

#include <aygshell.h>

#include <stdlib.h>

// Some Windows CE toolchains' aygshell.h leave out these two of the SDK's.
#ifndef SHRG_RETURNCMD
#define SHRG_RETURNCMD 0x00000001
#endif
#ifndef GN_CONTEXTMENU
#define GN_CONTEXTMENU 1000
#endif

BYTE g_bMenuOpened = 0;

namespace {

// Raw pixels, whatever the density.
const int kStrokeThreshold = 10;

} // namespace

void CMyToday::CommonRedraw()
{
    const int nHeightBefore = m_nHeight;
    bool bChanged = UpdateLayout();
    if (bChanged) {
        CreateSurface();
        // The host learns a new height at its next query, and repaints the
        // item then. A height it shows the item at already brings no such
        // repaint, so paint here: a layout over the height limit that falls
        // back to it, or a height that came back to it before the query (two
        // steps of the month in quick succession).
        RECT rc;
        GetClientRect(m_hWnd, &rc);
        bChanged = m_nHeight != nHeightBefore && m_nHeight != rc.bottom;
    }
    Render();
    if (!bChanged)
        InvalidateRect(m_hWnd, NULL, TRUE);
}

void CMyToday::OnLButtonDown(UINT, int x, int y)
{
    m_ptDown.x = x;
    m_ptDown.y = y;
    g_bMenuOpened = 0;

    SHRGINFO shrg;
    shrg.cbSize = sizeof shrg;
    shrg.hwndClient = m_hWnd;
    shrg.ptDown.x = x;
    shrg.ptDown.y = y;
    shrg.dwFlags = SHRG_RETURNCMD;
    if (SHRecognizeGesture(&shrg) != GN_CONTEXTMENU)
        return;

    g_bMenuOpened = 1;
    HRSRC hResource = FindResourceW(m_hInstance, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), RT_DIALOG);
    HGLOBAL hTemplate = LoadResource(m_hInstance, hResource);
    DialogBoxIndirectParamW(m_hInstance, static_cast<LPCDLGTEMPLATE>(hTemplate), m_hWnd, OptionsDlgProc, 0);

    // Whatever the dialog's result; a new height reaches the host at its next query.
    UpdateLayout();
    Render();
    InvalidateRect(m_hWnd, NULL, FALSE);
}

void CMyToday::OnLButtonUp(UINT, int x, int y)
{
    if (g_bMenuOpened) {
        g_bMenuOpened = 0;
        return;
    }

    const int dx = x - m_ptDown.x;
    const int dy = y - m_ptDown.y;
    if (abs(dx) >= kStrokeThreshold || abs(dy) >= kStrokeThreshold) {
        int nSlot;
        if (abs(dx) > abs(dy))
            nSlot = dx < 0 ? kStrokeLeft : kStrokeRight;
        else
            nSlot = dy < 0 ? kStrokeUp : kStrokeDown;
        switch ((Settings::Gesture >> (8 * (nSlot - 1))) & 0xFF) {
        case kGestureNextMonth:
            NextMonth(m_nMonth, m_nYear);
            break;
        case kGesturePrevMonth:
            PrevMonth(m_nMonth, m_nYear);
            break;
        case kGestureNextYear:
            NextYear(m_nMonth, m_nYear);
            break;
        case kGesturePrevYear:
            PrevYear(m_nMonth, m_nYear);
            break;
        default:
            break;
        }
        CommonRedraw();
        return;
    }

    if (Settings::Alarm != 0 && x < ScaleByDpi(kBellCorner, kDpiX) && y < ScaleByDpi(kBellCorner, kDpiY)) {
        // The bell: the clock's alarms. The item does not wait for them.
        wchar_t szArguments[] = L"cplmain.cpl,16,1";
        PROCESS_INFORMATION pi = {};
        CreateProcessW(L"\\Windows\\ctlpnl.exe", szArguments, NULL, NULL, FALSE, 0, NULL, NULL,
            NULL, &pi);
        if (pi.hThread)
            CloseHandle(pi.hThread);
        if (pi.hProcess)
            CloseHandle(pi.hProcess);
        g_dwLastAlarmCheck = 0;
        return;
    }

    m_nMonth = m_nTodayMonth;
    m_nYear = m_nTodayYear;
    CommonRedraw();
}

LRESULT CMyToday::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_SIZE: {
        const int nWidth = LOWORD(lParam);
        if (nWidth != m_nWidth) {
            m_nWidth = nWidth;
            CreateSurface();
            Render();
        }
        break;
    }
    case WM_TODAYCUSTOM_USERNAVIGATION:
        if (wParam == VK_LEFT) {
            PrevMonth(m_nMonth, m_nYear);
            CommonRedraw();
        } else if (wParam == VK_RIGHT) {
            NextMonth(m_nMonth, m_nYear);
            CommonRedraw();
        }
        break;
    case WM_TODAYCUSTOM_ACTION:
        m_nMonth = m_nTodayMonth;
        m_nYear = m_nTodayYear;
        CommonRedraw();
        break;
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
        // The item takes the selection the Today screen offers: without it,
        // the navigation and action keys above never reach the item.
        ShowSelection(TRUE);
        return TRUE;
    case WM_TODAYCUSTOM_LOSTSELECTION:
        ShowSelection(FALSE);
        break;
    default:
        break;
    }
    return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

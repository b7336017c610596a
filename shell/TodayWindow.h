// Base class of a Today screen item window: registers the item's window class,
// creates the item window under the Today screen, turns window messages and
// the Today screen's messages into virtual handlers, and hands the item's
// height to the Today screen.
#pragma once

#include <windows.h>

#include <todaycmn.h>

// Windows CE's winuser.h makes DrawIcon a macro over DrawIconEx; here it is
// the name of a handler.
#undef DrawIcon

// Marks a handler that replaces one of CTodayWindow's. GCC 4.4 knows no
// "override"; the desktop build checks it.
#if defined(__GNUC__) && (__GNUC__ * 100 + __GNUC_MINOR__) < 407
#define OVERRIDE
#else
#define OVERRIDE override
#endif

class CTodayWindow
{
public:
    CTodayWindow(HINSTANCE hInstance, LPCWSTR pszClassName, LPCWSTR pszWindowName);

    // Virtual operations, in this slot order.
    virtual ~CTodayWindow();
    virtual LRESULT WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void DrawIcon(HDC hdc);
    virtual void OnInit();
    virtual int OnCreate(LPCREATESTRUCTW pcs);
    virtual void OnDestroy();
    virtual void OnPaint(HDC hdc);
    virtual void OnEraseBkgnd(HDC hdc);
    virtual void OnQueryRefreshCache(TODAYLISTITEM* ptli, BOOL* pbRefresh);
    virtual LRESULT OnClearCache(TODAYLISTITEM* ptli);
    virtual void OnLButtonUp(UINT uKeys, int x, int y);
    virtual void OnLButtonDown(UINT uKeys, int x, int y);
    virtual void OnSettingChange(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

    ATOM RegisterWindowClass(WNDPROC pfnWndProc);
    void UnregisterWindowClass();
    BOOL Create(HWND hwndParent, DWORD dwStyle);
    void SetHeight(int nHeight);
    void Show(BOOL bShow);

    HWND m_hWnd;
    BOOL m_bReportHeight;
    int m_nHeight;
    POINT m_ptIcon;
    HWND m_hwndParent;
    HICON m_hIcon;
    HINSTANCE m_hInstance;
    LPCWSTR m_pszClassName;
    LPCWSTR m_pszWindowName;
    COLORREF m_crText;
    HFONT m_hFont;
    HFONT m_hBoldFont;

private:
    LRESULT OnRefreshQuery(TODAYLISTITEM* ptli);
};

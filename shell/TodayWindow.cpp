#include "TodayWindow.h"

#include <wchar.h>

namespace {

// Set by the shell once it is ready; tested without waiting.
const wchar_t kShellReadyEvent[] = L"SYSTEM/ShellAPIReady";

bool IsShellReady()
{
    // Opens the shell's event, or makes an unset one when the shell has not
    // made it yet; either way the handle is closed again.
    HANDLE hReady = CreateEventW(NULL, TRUE, FALSE, kShellReadyEvent);
    const DWORD dwWait = WaitForSingleObject(hReady, 0);
    if (hReady)
        CloseHandle(hReady);
    return dwWait != WAIT_TIMEOUT;
}

} // namespace

CTodayWindow::CTodayWindow(HINSTANCE hInstance, LPCWSTR pszClassName, LPCWSTR pszWindowName)
    : m_hWnd(NULL), m_bReportHeight(FALSE), m_nHeight(10), m_ptIcon(), m_hwndParent(NULL), m_hIcon(NULL),
      m_hInstance(hInstance), m_pszClassName(pszClassName), m_pszWindowName(pszWindowName), m_crText(0),
      m_hFont(NULL), m_hBoldFont(NULL)
{
}

CTodayWindow::~CTodayWindow()
{
    if (m_hIcon)
        DestroyIcon(m_hIcon);
    if (m_hFont)
        DeleteObject(m_hFont);
    if (m_hBoldFont)
        DeleteObject(m_hBoldFont);
}

ATOM CTodayWindow::RegisterWindowClass(WNDPROC pfnWndProc)
{
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = pfnWndProc;
    wc.hInstance = m_hInstance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = m_pszClassName;
    return RegisterClassW(&wc);
}

void CTodayWindow::UnregisterWindowClass()
{
    if (m_hInstance)
        UnregisterClassW(m_pszClassName, m_hInstance);
}

BOOL CTodayWindow::Create(HWND hwndParent, DWORD dwStyle)
{
    m_bReportHeight = TRUE;
    m_hwndParent = hwndParent;
    const int nWidth = GetSystemMetrics(SM_CXSCREEN);
    m_hWnd = CreateWindowExW(0, m_pszClassName, m_pszWindowName, dwStyle, 0, 0, nWidth, 0, hwndParent, NULL,
        m_hInstance, NULL);
    OnInit();
    return m_hWnd != NULL;
}

void CTodayWindow::SetHeight(int nHeight)
{
    m_nHeight = nHeight;
}

void CTodayWindow::Show(BOOL bShow)
{
    if (!m_hWnd)
        return;
    if (bShow)
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UpdateWindow(m_hWnd);
}

LRESULT CTodayWindow::WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // Stylus coordinates are two unsigned 16-bit client coordinates.
    const int x = LOWORD(lParam);
    const int y = HIWORD(lParam);

    switch (uMsg) {
    case WM_CREATE:
        if (OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam)) == -1)
            return -1;
        return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(m_hWnd, &ps);
        DrawIcon(hdc);
        OnPaint(hdc);
        EndPaint(m_hWnd, &ps);
        return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
    }
    case WM_ERASEBKGND:
        OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SETTINGCHANGE:
        OnSettingChange(wParam, lParam);
        return 0;
    case WM_NOTIFY:
        return OnNotify(wParam, lParam);
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), x, y);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), x, y);
        return 0;
    case WM_TODAYCUSTOM_CLEARCACHE:
        return OnClearCache(reinterpret_cast<TODAYLISTITEM*>(wParam));
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return OnRefreshQuery(reinterpret_cast<TODAYLISTITEM*>(wParam));
    default:
        return OnMessage(uMsg, wParam, lParam);
    }
}

LRESULT CTodayWindow::OnRefreshQuery(TODAYLISTITEM* ptli)
{
    BOOL bRefresh = FALSE;
    if (!ptli)
        return 0;
    if (!IsShellReady())
        return 0;
    if (m_bReportHeight) {
        ptli->cyp = static_cast<DWORD>(m_nHeight);
        m_bReportHeight = FALSE;
        bRefresh = TRUE;
    }
    OnQueryRefreshCache(ptli, &bRefresh);
    return bRefresh;
}

void CTodayWindow::DrawIcon(HDC hdc)
{
    if (!m_hIcon)
        return;
    SetBkMode(hdc, TRANSPARENT);
    DrawIconEx(hdc, m_ptIcon.x, m_ptIcon.y, m_hIcon, 0, 0, 0, NULL, DI_NORMAL);
}

void CTodayWindow::OnInit()
{
    m_crText = static_cast<COLORREF>(SendMessageW(m_hwndParent, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));

    LOGFONTW lf;
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
    wcscpy(lf.lfFaceName, L"Tahoma");
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    m_hFont = CreateFontIndirectW(&lf);
    lf.lfWeight = FW_BOLD;
    m_hBoldFont = CreateFontIndirectW(&lf);
}

int CTodayWindow::OnCreate(LPCREATESTRUCTW)
{
    return 0;
}

void CTodayWindow::OnDestroy()
{
}

void CTodayWindow::OnPaint(HDC)
{
}

void CTodayWindow::OnEraseBkgnd(HDC hdc)
{
    TODAYDRAWWATERMARKINFO dwi;
    dwi.hdc = hdc;
    GetClientRect(m_hWnd, &dwi.rc);
    dwi.hwnd = m_hWnd;
    SendMessageW(m_hwndParent, TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&dwi));
}

void CTodayWindow::OnQueryRefreshCache(TODAYLISTITEM*, BOOL*)
{
}

LRESULT CTodayWindow::OnClearCache(TODAYLISTITEM*)
{
    return 0;
}

void CTodayWindow::OnLButtonUp(UINT, int, int)
{
}

void CTodayWindow::OnLButtonDown(UINT, int, int)
{
}

void CTodayWindow::OnSettingChange(WPARAM, LPARAM)
{
}

LRESULT CTodayWindow::OnNotify(WPARAM, LPARAM)
{
    return 0;
}

LRESULT CTodayWindow::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

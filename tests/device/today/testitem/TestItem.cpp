// A small Today item on the item window base class, for testing the Today
// screen: it is TEST_ITEM_HEIGHT pixels high, shows the Today background and
// frames itself with TEST_ITEM_FRAME. It takes the selection, or refuses it
// when built with TEST_ITEM_REFUSES_SELECTION; of the navigation keys it
// handles left and right and passes up and down on. It keeps what the Today
// screen tells it under HKCU\Software\TestItems\<TEST_ITEM_CLASS> (a count of
// each kind of message, and the wParam of the last), and counts the word that
// it is to drop its cache in HKCU\Software\TestItems, value TEST_ITEM_CLASS.
// Built with TEST_ITEM_WINDOWLESS, it refuses its window. A test makes it a
// slow item with the value StylusDownDelay of its key: it keeps the Today
// screen's thread that many milliseconds at each stylus-down, then asks
// whether the press is a tap-and-hold and keeps the answer ("Gesture").
#include "TodayWindow.h"

#include <aygshell.h>

#include <string>

namespace {

constexpr wchar_t kTestItemsKey[] = L"Software\\TestItems";

// Adds one to a count under key, and keeps last beside it ("<name>Last").
void Count(const std::wstring& key, const std::wstring& name, DWORD last)
{
    HKEY hkey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkey, nullptr) !=
        ERROR_SUCCESS)
        return;
    DWORD count = 0, size = sizeof count;
    RegQueryValueExW(hkey, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    ++count;
    RegSetValueExW(hkey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    RegSetValueExW(hkey, (name + L"Last").c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&last), sizeof last);
    RegCloseKey(hkey);
}

void Heard(const wchar_t* message, DWORD last)
{
    Count(std::wstring(kTestItemsKey) + L"\\" + TEST_ITEM_CLASS, message, last);
}

// A value a test has set in the item's key; 0 when there is none.
DWORD Told(const wchar_t* name)
{
    const std::wstring key = std::wstring(kTestItemsKey) + L"\\" + TEST_ITEM_CLASS;
    HKEY hkey = nullptr;
    DWORD value = 0, size = sizeof value;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExW(hkey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        value = 0;
    RegCloseKey(hkey);
    return value;
}

class CTestItem : public CTodayWindow
{
public:
    using CTodayWindow::CTodayWindow;

    void OnPaint(HDC hdc) override
    {
        Heard(L"Paint", 0);
        RECT rc;
        GetClientRect(m_hWnd, &rc);
        HBRUSH frame = CreateSolidBrush(TEST_ITEM_FRAME);
        FrameRect(hdc, &rc, frame);
        DeleteObject(frame);
    }

    void OnEraseBkgnd(HDC hdc) override
    {
        Heard(L"EraseBackground", 0);
        CTodayWindow::OnEraseBkgnd(hdc);
    }

#ifdef TEST_ITEM_WINDOWLESS
    // The window is refused as it is made: the item returns none.
    int OnCreate(LPCREATESTRUCTW) override { return -1; }
#endif

    LRESULT OnClearCache(TODAYLISTITEM*) override
    {
        Count(kTestItemsKey, TEST_ITEM_CLASS, 0);
        return 0;
    }

    void OnLButtonDown(UINT, int x, int y) override
    {
        Heard(L"StylusDown", MAKELONG(x, y));
        if (const DWORD delay = Told(L"StylusDownDelay")) {
            // The slow item's work, which the screen's thread waits on.
            Sleep(delay);
            SHRGINFO request = {sizeof request, m_hWnd, {x, y}, SHRG_RETURNCMD};
            Heard(L"Gesture", SHRecognizeGesture(&request));
        }
    }
    void OnLButtonUp(UINT, int x, int y) override { Heard(L"StylusUp", MAKELONG(x, y)); }

    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        switch (uMsg) {
        case WM_TODAYCUSTOM_RECEIVEDSELECTION:
            Heard(L"ReceivedSelection", static_cast<DWORD>(wParam));
#ifdef TEST_ITEM_REFUSES_SELECTION
            return FALSE;
#else
            return TRUE;
#endif
        case WM_TODAYCUSTOM_LOSTSELECTION:
            Heard(L"LostSelection", static_cast<DWORD>(wParam));
            return 0;
        case WM_TODAYCUSTOM_USERNAVIGATION:
            Heard(L"UserNavigation", static_cast<DWORD>(wParam));
            return wParam == VK_LEFT || wParam == VK_RIGHT;
        case WM_TODAYCUSTOM_ACTION:
            Heard(L"Action", static_cast<DWORD>(wParam));
            return 0;
        default:
            return CTodayWindow::OnMessage(uMsg, wParam, lParam);
        }
    }
};

CTestItem* g_pTestItem = nullptr;

LRESULT CALLBACK TestItemWndProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return g_pTestItem->WndProc(uMsg, wParam, lParam);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_pTestItem = new CTestItem(hInstance, TEST_ITEM_CLASS, L"TestItemWindow");
        g_pTestItem->SetHeight(TEST_ITEM_HEIGHT);
        g_pTestItem->UnregisterWindowClass();
    } else if (dwReason == DLL_PROCESS_DETACH) {
        delete g_pTestItem;
    }
    return TRUE;
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM*, HWND hwndParent)
{
    g_pTestItem->RegisterWindowClass(TestItemWndProc);
    g_pTestItem->Create(hwndParent, WS_CHILD | WS_VISIBLE);
    g_pTestItem->Show(TRUE);
    return g_pTestItem->m_hWnd;
}

// A small Today item on the item window base class, for testing the Today
// screen: it is TEST_ITEM_HEIGHT pixels high, shows the Today background and
// frames itself with TEST_ITEM_FRAME; it counts the Today screen's word that
// it is to drop its cache in HKCU\Software\TestItems, value TEST_ITEM_CLASS.
// Built with TEST_ITEM_WINDOWLESS, it refuses its window.
#include "TodayWindow.h"

namespace {

class CTestItem : public CTodayWindow
{
public:
    using CTodayWindow::CTodayWindow;

    void OnPaint(HDC hdc) override
    {
        RECT rc;
        GetClientRect(m_hWnd, &rc);
        HBRUSH frame = CreateSolidBrush(TEST_ITEM_FRAME);
        FrameRect(hdc, &rc, frame);
        DeleteObject(frame);
    }

#ifdef TEST_ITEM_WINDOWLESS
    // The window is refused as it is made: the item returns none.
    int OnCreate(LPCREATESTRUCTW) override { return -1; }
#endif

    LRESULT OnClearCache(TODAYLISTITEM*) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TestItems", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                nullptr) != ERROR_SUCCESS)
            return 0;
        DWORD count = 0, size = sizeof count;
        RegQueryValueExW(key, TEST_ITEM_CLASS, nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
        ++count;
        RegSetValueExW(key, TEST_ITEM_CLASS, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
        RegCloseKey(key);
        return 0;
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

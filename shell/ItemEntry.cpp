// The module's entries: the loader's DllMain, the Today screen's exports and
// the window procedure of the item's window class.
#include "ItemEntry.h"

#include "ModuleHeap.h"
#include "ModuleInstance.h"
#include "MyToday.h"
#include "Settings.h"

#include <commctrl.h>

CTodayWindow* g_pItem = NULL;

namespace {

const wchar_t kClassName[] = L"MesoluneClass";
const wchar_t kWindowName[] = L"MesoluneWindow";

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        g_hInstance = hInstance;
        g_pItem = new CMyToday(hInstance, kClassName, kWindowName);
        // Out of memory: the module still loads, and every entry finds no item.
        if (!g_pItem)
            break;
        g_pItem->SetHeight(kDefaultHeight);
        g_pItem->UnregisterWindowClass();
        break;
    case DLL_PROCESS_DETACH:
        if (g_pItem) {
            delete g_pItem;
            g_pItem = NULL;
        }
        break;
    default:
        break;
    }
    return TRUE;
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* ptli, HWND hwndParent)
{
    // An item the user switched off makes nothing, as the Today screen asks.
    if (!g_pItem || (ptli && !ptli->fEnabled))
        return NULL;
    InitCommonControls();
    LoadSettings();
    g_pItem->RegisterWindowClass(ItemWndProc);
    g_pItem->Create(hwndParent, WS_CHILD | WS_VISIBLE);
    g_pItem->Show(TRUE);
    return g_pItem->m_hWnd;
}

LRESULT CALLBACK ItemWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // A class left registered by an earlier load may meet a load without item.
    if (!g_pItem)
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    // The one item object serves every window of the class, through m_hWnd.
    return g_pItem->WndProc(uMsg, wParam, lParam);
}

#pragma once

#include "TodayWindow.h"

// The module's one item object, set by DllMain (as is g_hInstance).
extern CTodayWindow* g_pItem;

// Export 240: loads the settings, creates and shows the item window under the
// Today screen and returns it.
extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* ptli, HWND hwndParent);

LRESULT CALLBACK ItemWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

#include "TodayScreen.h"

#include "TodayItems.h"

#include <devicescreen.h>
#include <todaycmn.h>

#include <windows.h>

void TellTodayScreen()
{
    const HWND screen = FindWindowW(DEVICE_SCREEN_WINDOW_CLASS, nullptr);
    DWORD_PTR answer = 0;
    if (screen)
        SendMessageTimeoutW(screen, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, kTodayReloadWaitMs,
            &answer);
}

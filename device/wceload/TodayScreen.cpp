#include "TodayScreen.h"

#include <devicescreen.h>
#include <todaycmn.h>

#include <windows.h>

namespace {

// How long the Today screen may take over the reload.
constexpr UINT kReloadTimeoutMs = 5000;

} // namespace

void TellTodayScreen()
{
    const HWND screen = FindWindowW(DEVICE_SCREEN_WINDOW_CLASS, nullptr);
    DWORD_PTR answer = 0;
    if (screen)
        SendMessageTimeoutW(screen, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, kReloadTimeoutMs,
            &answer);
}

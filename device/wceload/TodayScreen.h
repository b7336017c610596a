// The running Today screen, told that its items' entries changed: it
// reloads them (the platform's WM_WININICHANGE with TODAY_RELOAD_ITEMS).
#pragma once

void TellTodayScreen();

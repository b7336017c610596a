// Plays the user who presses OK in a dialog that another program shows:
// waits for a dialog to show, and presses its OK. Exit code 0 when a dialog
// was found and OK answered.
#include <windows.h>

#include <cstdio>

namespace {

// Far beyond a loaded machine's delays.
constexpr unsigned long kDeadlineMs = 120000;

BOOL CALLBACK FindShownDialog(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

int wmain()
{
    HWND dialog = nullptr;
    // A dialog is shown only after WM_INITDIALOG has set its controls.
    const ULONGLONG start = GetTickCount64();
    while (!dialog && GetTickCount64() - start < kDeadlineMs) {
        Sleep(25);
        EnumWindows(FindShownDialog, reinterpret_cast<LPARAM>(&dialog));
    }
    if (!dialog) {
        std::fprintf(stderr, "dialog_ok: no dialog showed within %lu s\n", kDeadlineMs / 1000);
        return 1;
    }
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    return 0;
}

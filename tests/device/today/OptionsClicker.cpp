// Plays the user of an options dialog that another program shows: waits for
// the dialog to show, switches two weekend days on and week numbers off,
// presses OK, and ends that program the moment OK has been handled. Exit
// code 0 when the dialog was found and OK answered.
#include "resource.h"

#include <windows.h>

#include <cstdio>

namespace {

// Far beyond a loaded machine's delays.
constexpr unsigned long kDeadlineMs = 120000;

} // namespace

int wmain()
{
    HWND dialog = nullptr;
    // The dialog is shown only after WM_INITDIALOG has set the controls from
    // the stored settings; a click before that would be overwritten.
    const ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < kDeadlineMs) {
        Sleep(25);
        dialog = FindWindowW(L"#32770", L"Настройки");
        if (dialog && IsWindowVisible(dialog))
            break;
        dialog = nullptr;
    }
    if (!dialog) {
        std::fprintf(stderr, "options_clicker: no options dialog showed within %lu s\n", kDeadlineMs / 1000);
        return 1;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    HANDLE owner = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
    SendDlgItemMessageW(dialog, IDC_TWO_WEEKEND_DAYS, BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageW(dialog, IDC_WEEKS, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    TerminateProcess(owner, 9);
    WaitForSingleObject(owner, kDeadlineMs);
    CloseHandle(owner);
    return 0;
}

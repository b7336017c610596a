// Plays the user of an options dialog that another program shows: waits for
// the dialog to show, switches two weekend days on and week numbers off,
// presses OK, and ends that program the moment OK has been handled. Exit
// code 0 when the dialog was found and OK answered.
#include "resource.h"

#include <windows.h>

#include <cstdio>

int wmain()
{
    HWND dialog = nullptr;
    // The dialog is shown only after WM_INITDIALOG has set the controls from
    // the stored settings; a click before that would be overwritten.
    for (int i = 0; i < 800; ++i) {
        Sleep(25);
        dialog = FindWindowW(L"#32770", L"Настройки");
        if (dialog && IsWindowVisible(dialog))
            break;
        dialog = nullptr;
    }
    if (!dialog) {
        std::fprintf(stderr, "options_clicker: no options dialog\n");
        return 1;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(dialog, &process);
    HANDLE owner = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
    SendDlgItemMessageW(dialog, IDC_TWO_WEEKEND_DAYS, BM_SETCHECK, BST_CHECKED, 0);
    SendDlgItemMessageW(dialog, IDC_WEEKS, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    TerminateProcess(owner, 9);
    WaitForSingleObject(owner, 10000);
    CloseHandle(owner);
    return 0;
}

#include "AlarmsPage.h"

#include "Alarms.h"
#include "AlarmsPageIds.h"
#include "Page.h"

#include <commctrl.h>

namespace {

void Show(HWND dialog, const Alarms& alarms)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int n = 0; n < static_cast<int>(alarms.size()); ++n) {
        CheckDlgButton(dialog, IDC_ALARM_FIRST + n, alarms[n].on ? BST_CHECKED : BST_UNCHECKED);
        SYSTEMTIME time = now;
        time.wHour = static_cast<WORD>(alarms[n].hour);
        time.wMinute = static_cast<WORD>(alarms[n].minute);
        time.wSecond = 0;
        time.wMilliseconds = 0;
        SendDlgItemMessageW(dialog, IDC_TIME_FIRST + n, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm"));
        SendDlgItemMessageW(dialog, IDC_TIME_FIRST + n, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    }
}

Alarms Read(HWND dialog)
{
    Alarms alarms;
    for (int n = 0; n < static_cast<int>(alarms.size()); ++n) {
        alarms[n].on = IsDlgButtonChecked(dialog, IDC_ALARM_FIRST + n) == BST_CHECKED;
        SYSTEMTIME time = {};
        if (SendDlgItemMessageW(dialog, IDC_TIME_FIRST + n, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) ==
            GDT_VALID) {
            alarms[n].hour = time.wHour;
            alarms[n].minute = time.wMinute;
        }
    }
    return alarms;
}

INT_PTR CALLBACK AlarmsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        StartPage(dialog, lParam);
        Show(dialog, LoadAlarms());
        return TRUE;
    case WM_COMMAND:
        return ClosePage(dialog, LOWORD(wParam), [](HWND page) { SaveAlarms(Read(page)); });
    default:
        return TakePagePicture(dialog, message);
    }
}

} // namespace

Page AlarmsPage()
{
    return {IDD_ALARMS, AlarmsProc};
}

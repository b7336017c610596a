#include "AlarmsPage.h"

#include "Alarms.h"
#include "DevicePath.h"
#include "Screenshot.h"
#include "AlarmsPageIds.h"

#include <commctrl.h>
#include <devicescreen.h>

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

constexpr UINT kTakeScreenshot = WM_APP + 1;

// A picture of the page asked for, and what came of it.
struct Picture
{
    std::wstring path;
    std::wstring error;
};

INT_PTR CALLBACK AlarmsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        // A Pocket PC page fills the screen.
        RECT screen;
        DeviceScreenRect(&screen);
        SetWindowPos(dialog, HWND_TOP, screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top,
            0);
        Show(dialog, LoadAlarms());
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (lParam)
            PostMessageW(dialog, kTakeScreenshot, 0, 0);
        return TRUE;
    }
    case kTakeScreenshot: {
        ShowWindow(dialog, SW_SHOW);
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        auto* picture = reinterpret_cast<Picture*>(GetWindowLongPtrW(dialog, DWLP_USER));
        RECT screen;
        DeviceScreenRect(&screen);
        picture->error = WriteScreenshot(screen, DevicePath(picture->path));
        EndDialog(dialog, 0);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            SaveAlarms(Read(dialog));
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

bool RunAlarmsPage(HINSTANCE instance)
{
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ALARMS), nullptr, AlarmsProc, 0) == 1;
}

std::wstring WriteAlarmsPage(HINSTANCE instance, const std::wstring& path)
{
    Picture picture{path, L"the page did not show"};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ALARMS), nullptr, AlarmsProc, reinterpret_cast<LPARAM>(&picture));
    return picture.error;
}

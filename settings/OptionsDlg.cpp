#include "OptionsDlg.h"

#include "ItemEntry.h"
#include "Settings.h"

#include <aygshell.h>
#include <commdlg.h>

namespace {

enum ControlId
{
    kIdSaturday = 1003,
    kIdSunday = 1004,
    kIdToday = 1005,
    kIdTwoDays = 1006,
    kIdWeeks = 1007,
    kIdClock = 1008,
    kIdDayNames = 1009,
    kIdStrokeLeft = 1010,
    kIdStrokeRight = 1011,
    kIdStrokeUp = 1012,
    kIdStrokeDown = 1013,
    kIdClockColor = 1014,
    kIdAlarm = 1015,
};

// The stroke actions in list order; entry i >= 1 stores 1 << (i - 1).
const int kStrokeActions = 5;
const wchar_t* const g_apszStrokeActions[kStrokeActions] = {
    L"ничего", L"след. месяц", L"пред. месяц", L"след. год", L"пред. год",
};

void SetCheck(HWND hDlg, int nId, bool bChecked)
{
    SendDlgItemMessageW(hDlg, nId, BM_SETCHECK, bChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND hDlg, int nId)
{
    return SendDlgItemMessageW(hDlg, nId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The platform's colour chooser, starting from the field's colour, with a
// fresh list of custom colours; a chosen colour is stored at once.
void ChooseFieldColor(HWND hDlg, COLORREF& crField)
{
    COLORREF acrCustom[16] = {Settings::Color3, Settings::Color1, Settings::Color2, Settings::Color4};
    CHOOSECOLOR cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = hDlg;
    cc.hInstance = g_hInstance;
    cc.rgbResult = crField;
    cc.lpCustColors = acrCustom;
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
    cc.lCustData = 0;
    cc.lpfnHook = NULL;
    cc.lpTemplateName = NULL;
    if (ChooseColor(&cc))
        crField = cc.rgbResult;
}

BOOL OnInitDialog(HWND hDlg)
{
    SHINITDLGINFO shidi;
    shidi.dwMask = SHIDIM_FLAGS;
    shidi.hDlg = hDlg;
    shidi.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
    SHInitDialog(&shidi);

    LoadSettings();

    SetCheck(hDlg, kIdTwoDays, Settings::Weekend == 2);
    SetCheck(hDlg, kIdWeeks, Settings::Weeks != 0);
    SetCheck(hDlg, kIdClock, Settings::Clock != 0);
    SetCheck(hDlg, kIdDayNames, Settings::DayNames != 0);
    SetCheck(hDlg, kIdAlarm, Settings::Alarm != 0);

    FillStrokeCombo(GetDlgItem(hDlg, kIdStrokeLeft), 3);
    FillStrokeCombo(GetDlgItem(hDlg, kIdStrokeRight), 4);
    FillStrokeCombo(GetDlgItem(hDlg, kIdStrokeUp), 1);
    FillStrokeCombo(GetDlgItem(hDlg, kIdStrokeDown), 2);
    return TRUE;
}

BOOL OnOk(HWND hDlg)
{
    Settings::Weekend = IsChecked(hDlg, kIdTwoDays) ? 2 : 1;
    Settings::Weeks = IsChecked(hDlg, kIdWeeks) ? 1 : 0;
    Settings::Clock = IsChecked(hDlg, kIdClock) ? 1 : 0;
    Settings::DayNames = IsChecked(hDlg, kIdDayNames) ? 1 : 0;
    Settings::Alarm = IsChecked(hDlg, kIdAlarm) ? 60000 : 0;

    ReadStrokeCombo(GetDlgItem(hDlg, kIdStrokeLeft), 3);
    ReadStrokeCombo(GetDlgItem(hDlg, kIdStrokeRight), 4);
    ReadStrokeCombo(GetDlgItem(hDlg, kIdStrokeUp), 1);
    ReadStrokeCombo(GetDlgItem(hDlg, kIdStrokeDown), 2);

    SaveSettings();
    EndDialog(hDlg, 1);
    return TRUE;
}

} // namespace

void FillStrokeCombo(HWND hCombo, int nSlot)
{
    const DWORD dwAction = (Settings::Gesture >> (8 * (nSlot - 1))) & 0x0F;
    int nIndex;
    switch (dwAction) {
    case kGestureNextMonth:
        nIndex = 1;
        break;
    case kGesturePrevMonth:
        nIndex = 2;
        break;
    case kGestureNextYear:
        nIndex = 3;
        break;
    case kGesturePrevYear:
        nIndex = 4;
        break;
    default:
        nIndex = 0;
        break;
    }
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < kStrokeActions; ++i)
        SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_apszStrokeActions[i]));
    SendMessageW(hCombo, CB_SETCURSEL, nIndex, 0);
}

void ReadStrokeCombo(HWND hCombo, int nSlot)
{
    const int nIndex = static_cast<int>(SendMessageW(hCombo, CB_GETCURSEL, 0, 0));
    if (nIndex < 0)
        return;
    const int nShift = 8 * (nSlot - 1);
    Settings::Gesture &= ~(0xFFu << nShift);
    if (nIndex >= 1)
        Settings::Gesture |= (1u << (nIndex - 1)) << nShift;
}

extern "C" INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_DESTROY:
        EndDialog(hDlg, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            return OnOk(hDlg);
        case IDCANCEL:
            EndDialog(hDlg, 0);
            return TRUE;
        case kIdSaturday:
            ChooseFieldColor(hDlg, Settings::Color1);
            return FALSE;
        case kIdSunday:
            ChooseFieldColor(hDlg, Settings::Color2);
            return FALSE;
        case kIdToday:
            ChooseFieldColor(hDlg, Settings::Color3);
            return FALSE;
        case kIdClockColor:
            ChooseFieldColor(hDlg, Settings::Color4);
            return FALSE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

#include "OptionsDlg.h"

#include "ModuleInstance.h"
#include "Settings.h"
#include "resource.h"

#include <aygshell.h>
#include <commdlg.h>

namespace {

// The stroke actions in list order; entry i >= 1 stores 1 << (i - 1).
const int kStrokeActions = 5;
const wchar_t* const g_apszStrokeActions[kStrokeActions] = {
    L"ничего", L"след. месяц", L"пред. месяц", L"след. год", L"пред. год",
};

// The stroke lists and the slots they edit, in the order they are filled and
// read. The list labelled "Штрих вверх" edits the slot of the finger moving
// down, and "Штрих ввниз" that of the finger moving up.
struct StrokeList
{
    int nId;
    int nSlot;
};

const StrokeList g_aStrokeLists[] = {
    {IDC_STROKE_LEFT, kStrokeLeft},
    {IDC_STROKE_RIGHT, kStrokeRight},
    {IDC_STROKE_UP, kStrokeDown},
    {IDC_STROKE_DOWN, kStrokeUp},
};
const int kStrokeLists = sizeof g_aStrokeLists / sizeof g_aStrokeLists[0];

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

    SetCheck(hDlg, IDC_TWO_WEEKEND_DAYS, Settings::Weekend == 2);
    SetCheck(hDlg, IDC_WEEKS, Settings::Weeks != 0);
    SetCheck(hDlg, IDC_CLOCK, Settings::Clock != 0);
    SetCheck(hDlg, IDC_DAY_NAMES, Settings::DayNames != 0);
    SetCheck(hDlg, IDC_ALARM, Settings::Alarm != 0);

    for (int i = 0; i < kStrokeLists; ++i)
        FillStrokeCombo(GetDlgItem(hDlg, g_aStrokeLists[i].nId), g_aStrokeLists[i].nSlot);
    return TRUE;
}

BOOL OnOk(HWND hDlg)
{
    Settings::Weekend = IsChecked(hDlg, IDC_TWO_WEEKEND_DAYS) ? 2 : 1;
    Settings::Weeks = IsChecked(hDlg, IDC_WEEKS) ? 1 : 0;
    Settings::Clock = IsChecked(hDlg, IDC_CLOCK) ? 1 : 0;
    Settings::DayNames = IsChecked(hDlg, IDC_DAY_NAMES) ? 1 : 0;
    Settings::Alarm = IsChecked(hDlg, IDC_ALARM) ? kAlarmInterval : 0;

    for (int i = 0; i < kStrokeLists; ++i)
        ReadStrokeCombo(GetDlgItem(hDlg, g_aStrokeLists[i].nId), g_aStrokeLists[i].nSlot);

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
    const DWORD dwAction = nIndex >= 1 ? 1u << (nIndex - 1) : static_cast<DWORD>(kGestureNone);
    Settings::Gesture |= dwAction << nShift;
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
        case IDC_SATURDAY_COLOR:
            ChooseFieldColor(hDlg, Settings::Color1);
            return FALSE;
        case IDC_SUNDAY_COLOR:
            ChooseFieldColor(hDlg, Settings::Color2);
            return FALSE;
        case IDC_TODAY_COLOR:
            ChooseFieldColor(hDlg, Settings::Color3);
            return FALSE;
        case IDC_CLOCK_COLOR:
            ChooseFieldColor(hDlg, Settings::Color4);
            return FALSE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

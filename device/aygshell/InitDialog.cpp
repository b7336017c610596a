// SHInitDialog as on a Pocket PC: a dialog sized to the screen loses its
// caption and frame and stands between the navigation bar, which shows its
// title and ok, and the menu bar. The device has no input panel, so lowering
// it changes nothing.
#include "DoneButton.h"
#include "PocketFrame.h"

#include <aygshell.h>
#include <devicefailures.h>

extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO info)
{
    if (DeviceCallFails("SHInitDialog", __builtin_return_address(0)))
        return FALSE;
    if (!info || !IsWindow(info->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(info->dwMask & SHIDIM_FLAGS))
        return TRUE;
    const HWND dialog = info->hDlg;
    const DWORD flags = info->dwFlags;
    const bool doneButton = (flags & SHIDIF_DONEBUTTON) != 0;
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))
        FramePocketDialog(dialog, doneButton, !(flags & SHIDIF_FULLSCREENNOMENUBAR));
    else if (doneButton)
        AddDoneButton(dialog);
    return TRUE;
}

extern "C" BOOL WINAPI SHDoneButton(HWND window, DWORD state)
{
    if (state != SHDB_SHOW && state != SHDB_HIDE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ShowFrameOk(window, state == SHDB_SHOW))
        return TRUE;
    if (state == SHDB_SHOW && IsWindow(window)) {
        AddDoneButton(window);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

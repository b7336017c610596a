// SHInitDialog as on a Pocket PC. The device has no input panel and no menu
// bar, so lowering the one and giving the dialog an empty other change nothing.
#include "DoneButton.h"
#include "ScreenDensity.h"

#include <aygshell.h>
#include <devicefailures.h>
#include <devicescreen.h>

namespace {

// A Pocket PC menu bar's height at 96 dpi, kept free below a sized dialog.
constexpr int kMenuBarHeight = 26;

} // namespace

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
    // The device's screen, wherever the desktop shows it.
    RECT screen;
    DeviceScreenRect(&screen);
    const int width = screen.right - screen.left;
    const int height = screen.bottom - screen.top;
    if (flags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))
        SetWindowPos(dialog, nullptr, screen.left, screen.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    else if (flags & SHIDIF_SIZEDLG)
        SetWindowPos(dialog, nullptr, screen.left, screen.top, width,
            height - MulDiv(kMenuBarHeight, ScreenDpi(), 96), SWP_NOZORDER | SWP_NOACTIVATE);
    if (flags & SHIDIF_DONEBUTTON)
        AddDoneButton(dialog);
    return TRUE;
}

// ChooseColor as Windows CE names it: Wine's colour dialog (the desktop's
// ChooseColorW takes the same record), which a test can make answer as a
// cancelled dialog does (devicefailures.h).
#include <commdlg.h>
#include <devicefailures.h>

extern "C" BOOL WINAPI ChooseColorW(LPCHOOSECOLOR choice);

extern "C" BOOL WINAPI CeChooseColor(LPCHOOSECOLOR choice)
{
    if (DeviceCallFails("ChooseColor", __builtin_return_address(0)))
        return FALSE;
    return ChooseColorW(choice);
}

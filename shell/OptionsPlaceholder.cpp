#include <windows.h>

// Export 241 until the options dialog exists: it completes no message.
extern "C" INT_PTR CALLBACK OptionsDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

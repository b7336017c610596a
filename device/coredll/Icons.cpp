// Windows CE loads an icon at the size it was drawn; the desktop stretches
// every icon to SM_CXICON. A module's icon comes back at its own size, owned
// by the caller (DestroyIcon releases it).
#include "Accounting.h"
#include "Failures.h"

#include <windows.h>

extern "C" {

HICON WINAPI CeLoadIconW(HINSTANCE instance, LPCWSTR name)
{
    CE_FALLIBLE("LoadIconW", nullptr);
    if (!instance)
        return LoadIconW(instance, name); // the system's shared icons
    return coredll::Counted(DEVICE_ICONS,
        static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
}

BOOL WINAPI CeDestroyIcon(HICON icon)
{
    return coredll::ForgottenIf(DestroyIcon(icon), DEVICE_ICONS, icon);
}

} // extern "C"

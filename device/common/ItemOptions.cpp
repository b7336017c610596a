#include "ItemOptions.h"

#include "resource.h"

#include <todaycmn.h>

INT_PTR RunItemOptions(HMODULE module, HWND owner)
{
    const auto procedure = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC))));
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), RT_DIALOG);
    const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, resource)));
    if (!procedure || !dialog)
        return -1;
    return DialogBoxIndirectParamW(module, dialog, owner, procedure, 0);
}

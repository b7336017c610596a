// A Today item's options as the Today settings page opens them: the item
// module's dialog 500 with the procedure it exports as 241.
#pragma once

#include <windows.h>

// Runs the dialog modally over owner; its result (IDOK when the options
// were saved), or -1 when the module has no options dialog.
INT_PTR RunItemOptions(HMODULE module, HWND owner);

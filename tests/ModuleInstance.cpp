// The module's instance handle, which the module entry keeps in the item
// module: in a test program of the item's code, the program's own (it holds
// the item's resources).
#include "ItemEntry.h"

HINSTANCE g_hInstance = GetModuleHandleW(nullptr);

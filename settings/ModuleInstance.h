// The module's instance handle: set by the module's entry as the module
// loads; the options dialog hands it to the colour chooser.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;

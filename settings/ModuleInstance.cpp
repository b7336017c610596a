#include "ModuleInstance.h"

HINSTANCE g_hInstance = NULL;

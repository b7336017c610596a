// The "ok" a Pocket PC dialog shows in its title bar: drawn into the title
// of a desktop dialog; a tap on it sends IDOK.
#pragma once

#include <windows.h>

void AddDoneButton(HWND dialog);

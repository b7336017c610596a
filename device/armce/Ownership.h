// What an emulated module may change of what the platform holds: what it
// made itself. The host's windows, handles and objects are not its own.
#pragma once

#include "ArmMachine.h"

#include <windows.h>

namespace armce {

// A handle the module made (a GDI object, a DC, an icon, a registry key) or
// a kernel object it opened.
bool OwnsHandle(const GuestModule& module, HANDLE handle);
// A window the module made, one whose procedure is the module's, a dialog it
// runs, or a window inside any of these.
bool OwnsWindow(const GuestModule& module, HWND window);
// A window whose procedure is an emulated module's.
bool IsGuestWindow(HWND window);

// A DC the module may draw on or read: one it made, or one the host hands it
// with a message it is taking now (an erase, a control's colours, an item
// to draw). A handle it kept or guessed is not one, nor is null.
bool MayUseDc(const GuestModule& module, HDC dc);
// A GDI object or icon it may select or draw with: one it made, or one the
// device handed it (a stock object, what it took out of a DC).
bool MayUseObject(const GuestModule& module, HGDIOBJ object);
void HandOver(GuestModule& module, HGDIOBJ object);
// The innermost message the module's windows are taking paints one of them.
bool IsPainting(const GuestModule& module);

} // namespace armce

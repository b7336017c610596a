// A dialog template the guest hands the host, measured within the module's
// memory and copied: the dialog manager reads a template to its end (its
// strings to their NULs, as many items as it says), so it gets a copy that
// is known to end where the module's memory allows.
#pragma once

#include "GuestMemory.h"

#include <windows.h>

#include <vector>

namespace armce {

// The template at address (DLGTEMPLATE or DLGTEMPLATEEX) copied into
// copy, DWORD-aligned; false when it runs past the module's memory.
bool CopyDialogTemplate(const GuestMemory& memory, GuestPtr address, std::vector<DWORD>& copy);

} // namespace armce

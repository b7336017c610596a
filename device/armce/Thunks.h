// The imports whose arguments need more than their kinds: each handler
// checks what it is handed itself (CoredllThunks.cpp, AygshellThunks.cpp,
// CommdlgThunks.cpp). Their names come from the import table's rows.
#pragma once

#include "Imports.h"

namespace armce::thunk {

// One declaration for each SPECIAL and BLOCKING row of the import table.
#define FORWARD(library, name, ...)
#define SPECIAL(library, name, ...) std::uint32_t name(GuestCall& call, FARPROC host);
#define BLOCKING(library, name, ...) SPECIAL(library, name)
#include "ImportTable.inc"
#undef FORWARD
#undef SPECIAL
#undef BLOCKING

} // namespace armce::thunk

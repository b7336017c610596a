// The library's count of live resources made through it, by handle.
#pragma once

#include <deviceaccounting.h>

namespace coredll {

void Made(DWORD kind, const void* handle);
// Forgets a handle of that kind; false when it was not counted.
bool Released(DWORD kind, const void* handle);
// Forgets a handle of any kind.
void ReleasedAny(const void* handle);

} // namespace coredll

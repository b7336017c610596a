// The library's count of live resources made through it, by handle.
#pragma once

#include <deviceaccounting.h>

namespace coredll {

void Made(DWORD kind, const void* handle);
// Forgets a handle of that kind; false when it was not counted.
bool Released(DWORD kind, const void* handle);
// Forgets a handle of any kind.
void ReleasedAny(const void* handle);

// The handle a wrapper made, counted.
template <typename Handle>
Handle Counted(DWORD kind, Handle handle)
{
    Made(kind, handle);
    return handle;
}

// The result of a release; a handle released is forgotten.
inline BOOL ForgottenIf(BOOL released, DWORD kind, const void* handle)
{
    if (released)
        Released(kind, handle);
    return released;
}

} // namespace coredll

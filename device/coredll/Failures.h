// The failures a test asks for (devicefailures.h), as the library's
// functions consult them.
#pragma once

#include <devicefailures.h>

namespace coredll {

// Whether this call of the function, made from the code at returnAddress,
// is to fail; when it is, the thread's last error says there was not
// enough memory, as a device short of it says.
bool Fails(const char* function, void* returnAddress);

} // namespace coredll

// In a function the item calls: answers failure when this call is to fail.
#define CE_FALLIBLE(function, failure)                                  \
    if (coredll::Fails(function, __builtin_return_address(0)))         \
    return failure

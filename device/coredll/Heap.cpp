// The C runtime's heap, which Windows CE's core library exports: the blocks
// are the desktop runtime's, counted while they live, and a test can make the
// next allocations fail.
#include "Accounting.h"

#include <devicememory.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<DWORD> g_failures{0};

bool FailThisAllocation()
{
    DWORD failures = g_failures;
    while (failures > 0)
        if (g_failures.compare_exchange_weak(failures, failures - 1))
            return true;
    return false;
}

} // namespace

extern "C" {

void* __cdecl CeMalloc(size_t size)
{
    if (FailThisAllocation())
        return nullptr;
    return coredll::Counted(DEVICE_HEAP_BLOCKS, std::malloc(size));
}

void __cdecl CeFree(void* block)
{
    if (block)
        coredll::Released(DEVICE_HEAP_BLOCKS, block);
    std::free(block);
}

void WINAPI DeviceFailAllocations(DWORD count)
{
    g_failures = count;
}

} // extern "C"

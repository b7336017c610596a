// Counts the heap allocations a module makes: its imports of every allocation
// entry (the C runtime's malloc family, which operator new and the statically
// linked runtime use too, and the system's heap, local, global and virtual
// allocators) are redirected to counting ones while the counter lives.
#pragma once

#include <windows.h>

#include <vector>

class AllocationCounter
{
public:
    explicit AllocationCounter(HMODULE module);
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    long Count() const;
    void Reset();
    // How many imports were redirected; a module that imports no allocator has 0.
    int Redirected() const { return static_cast<int>(patched_.size()); }

private:
    struct Patch
    {
        void** slot;
        void* original;
    };
    std::vector<Patch> patched_;
};

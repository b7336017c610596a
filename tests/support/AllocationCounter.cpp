#include "AllocationCounter.h"

#include "PeImage.h"

#include <atomic>

namespace {

std::atomic<long> g_allocations{0};

// One counting stand-in per allocator: it counts, then calls the original.
// x86-64 has one calling convention, so the C library's allocators and the
// API's share the template.
template <int Id, typename Result, typename... Args>
struct Counting
{
    static inline Result (*original)(Args...) = nullptr;
    static Result Call(Args... args)
    {
        ++g_allocations;
        return original(args...);
    }
};

struct Allocator
{
    const char* name;
    void* stand_in;
    void** original;
};

template <typename T>
Allocator Entry(const char* name)
{
    return {name, reinterpret_cast<void*>(&T::Call), reinterpret_cast<void**>(&T::original)};
}

const Allocator* Allocators(size_t& count)
{
    static const Allocator list[] = {
        Entry<Counting<0, void*, size_t>>("malloc"),
        Entry<Counting<1, void*, size_t, size_t>>("calloc"),
        Entry<Counting<2, void*, void*, size_t>>("realloc"),
        Entry<Counting<3, void*, size_t, size_t>>("_aligned_malloc"),
        Entry<Counting<4, void*, void*, size_t, size_t>>("_aligned_realloc"),
        Entry<Counting<5, char*, const char*>>("_strdup"),
        Entry<Counting<6, wchar_t*, const wchar_t*>>("_wcsdup"),
        Entry<Counting<7, LPVOID, HANDLE, DWORD, SIZE_T>>("HeapAlloc"),
        Entry<Counting<8, LPVOID, HANDLE, DWORD, LPVOID, SIZE_T>>("HeapReAlloc"),
        Entry<Counting<9, HLOCAL, UINT, SIZE_T>>("LocalAlloc"),
        Entry<Counting<10, HLOCAL, HLOCAL, SIZE_T, UINT>>("LocalReAlloc"),
        Entry<Counting<11, HGLOBAL, UINT, SIZE_T>>("GlobalAlloc"),
        Entry<Counting<12, HGLOBAL, HGLOBAL, SIZE_T, UINT>>("GlobalReAlloc"),
        Entry<Counting<13, LPVOID, LPVOID, SIZE_T, DWORD, DWORD>>("VirtualAlloc"),
        Entry<Counting<14, PVOID, PVOID, ULONG, SIZE_T>>("RtlAllocateHeap"),
        Entry<Counting<15, PVOID, PVOID, ULONG, PVOID, SIZE_T>>("RtlReAllocateHeap"),
    };
    count = std::size(list);
    return list;
}

void Write(void** slot, void* value)
{
    DWORD old;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

} // namespace

AllocationCounter::AllocationCounter(HMODULE module)
{
    size_t count = 0;
    const Allocator* allocators = Allocators(count);
    for (const peimage::Import& import : peimage::PeImage::FromModule(module).Imports()) {
        for (size_t i = 0; i < count; ++i) {
            if (import.name != allocators[i].name)
                continue;
            void** slot = reinterpret_cast<void**>(reinterpret_cast<BYTE*>(module) + import.slotRva);
            *allocators[i].original = *slot;
            patched_.push_back({slot, *slot});
            Write(slot, allocators[i].stand_in);
        }
    }
}

AllocationCounter::~AllocationCounter()
{
    for (const Patch& p : patched_)
        Write(p.slot, p.original);
}

long AllocationCounter::Count() const
{
    return g_allocations;
}

void AllocationCounter::Reset()
{
    g_allocations = 0;
}

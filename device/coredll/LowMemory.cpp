// Memory below 2 GB, where a Windows CE module's 32-bit pointers reach, and
// sign-extending such a pointer to 64 bits leaves it as it is.
#include <devicememory.h>

#include <cstdint>

namespace {

// The lowest address handed out: below it lie the desktop's own early
// mappings; the 2 GB boundary is never crossed.
constexpr std::uintptr_t kLowest = 0x10000000;
constexpr std::uintptr_t kLimit = 0x80000000;
constexpr std::uintptr_t kGranularity = 0x10000;

} // namespace

extern "C" {

LPVOID WINAPI DeviceAllocateLowAt(LPVOID address, SIZE_T size)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    if (size == 0 || at % kGranularity || at < kGranularity || at >= kLimit || size > kLimit - at)
        return nullptr;
    return VirtualAlloc(address, size, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
}

LPVOID WINAPI DeviceAllocateLow(SIZE_T size)
{
    if (size == 0 || size > kLimit - kLowest)
        return nullptr;
    // The first free room from the lowest address up, as the desktop's
    // allocator has no bound to ask for.
    for (std::uintptr_t at = kLowest; at + size <= kLimit;) {
        MEMORY_BASIC_INFORMATION region = {};
        if (!VirtualQuery(reinterpret_cast<LPCVOID>(at), &region, sizeof region))
            return nullptr;
        const auto regionEnd = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (region.State == MEM_FREE && regionEnd - at >= size)
            if (LPVOID memory = DeviceAllocateLowAt(reinterpret_cast<LPVOID>(at), size))
                return memory;
        at = (regionEnd + kGranularity - 1) / kGranularity * kGranularity;
    }
    return nullptr;
}

void WINAPI DeviceFreeLow(LPVOID memory)
{
    if (memory)
        VirtualFree(memory, 0, MEM_RELEASE);
}

} // extern "C"

// The C runtime's heap, which Windows CE's core library exports, and the
// heaps of modules the device runs on an emulated processor. Every heap is
// an arena below 2 GB, where a Windows CE module's 32-bit pointers reach;
// its bookkeeping lies outside the arena, so a module that writes over the
// ends of its blocks harms only its own data, and a block it frees is
// checked against what it was given. Blocks are counted while they live,
// and a test can make the next allocations fail.
#include "Accounting.h"
#include "Failures.h"

#include <devicememory.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

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

// Blocks of 16 bytes, doubling up to the arena's size; a block freed is kept
// for the next of its class. What each granule of 16 bytes holds, and the
// free blocks of each class, are kept here, outside the arena.
class Arena
{
public:
    explicit Arena(std::size_t size) : size_(size) {}
    ~Arena() { DeviceFreeLow(base_); }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* Allocate(std::size_t size)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Ready())
            return nullptr;
        int sizeClass = 0;
        while (sizeClass < kClasses && BlockSize(sizeClass) < size)
            ++sizeClass;
        if (sizeClass == kClasses || BlockSize(sizeClass) > size_)
            return nullptr;
        std::size_t offset = 0;
        if (!free_[sizeClass].empty()) {
            offset = free_[sizeClass].back();
            free_[sizeClass].pop_back();
        } else {
            if (size_ - used_ < BlockSize(sizeClass))
                return nullptr;
            offset = used_;
            used_ += BlockSize(sizeClass);
        }
        granules_[offset / kGranule] = static_cast<std::uint8_t>(kLive | sizeClass);
        return base_ + offset;
    }

    // False when the block is none this arena handed out and still holds.
    bool Free(void* memory)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto at = reinterpret_cast<std::uintptr_t>(memory);
        const auto base = reinterpret_cast<std::uintptr_t>(base_);
        if (!base_ || at < base || at - base >= used_ || (at - base) % kGranule)
            return false;
        const std::size_t offset = at - base;
        std::uint8_t& granule = granules_[offset / kGranule];
        if (!(granule & kLive))
            return false;
        const int sizeClass = granule & ~kLive;
        granule = 0;
        free_[sizeClass].push_back(offset);
        return true;
    }

    bool Holds(const void* memory)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto at = reinterpret_cast<std::uintptr_t>(memory);
        const auto base = reinterpret_cast<std::uintptr_t>(base_);
        return base_ && at >= base && at - base < used_ && (at - base) % kGranule == 0 &&
               (granules_[(at - base) / kGranule] & kLive);
    }

    // The blocks still held.
    std::vector<void*> Live()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<void*> blocks;
        for (std::size_t g = 0; g < used_ / kGranule; ++g)
            if (granules_[g] & kLive)
                blocks.push_back(base_ + g * kGranule);
        return blocks;
    }

    void Range(LPVOID* base, SIZE_T* size)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Ready();
        if (base)
            *base = base_;
        if (size)
            *size = base_ ? size_ : 0;
    }

private:
    static constexpr std::size_t kGranule = 16;
    static constexpr int kClasses = 22; // 16 bytes .. 32 MB
    static constexpr std::uint8_t kLive = 0x80;

    static constexpr std::size_t BlockSize(int sizeClass) { return kGranule << sizeClass; }

    bool Ready()
    {
        if (!base_) {
            base_ = static_cast<char*>(DeviceAllocateLow(size_));
            if (base_)
                granules_.assign(size_ / kGranule, 0);
        }
        return base_ != nullptr;
    }

    std::mutex mutex_;
    const std::size_t size_;
    char* base_ = nullptr;
    std::size_t used_ = 0;
    std::vector<std::uint8_t> granules_;
    std::vector<std::size_t> free_[kClasses];
};

constexpr std::size_t kDefaultArena = 32 << 20;

Arena& DefaultHeap()
{
    static Arena heap(kDefaultArena);
    return heap;
}

Arena* ArenaOf(HANDLE heap)
{
    return heap ? static_cast<Arena*>(heap) : &DefaultHeap();
}

// An allocation the device's libraries count, and which a test may fail.
void* Allocate(Arena& arena, std::size_t size)
{
    if (FailThisAllocation())
        return nullptr;
    return coredll::Counted(DEVICE_HEAP_BLOCKS, arena.Allocate(size));
}

} // namespace

extern "C" {

void* __cdecl CeMalloc(size_t size)
{
    CE_FALLIBLE("malloc", nullptr);
    return Allocate(DefaultHeap(), size);
}

void __cdecl CeFree(void* block)
{
    if (!block)
        return;
    coredll::Released(DEVICE_HEAP_BLOCKS, block);
    DefaultHeap().Free(block);
}

void WINAPI DeviceFailAllocations(DWORD count)
{
    g_failures = count;
}

void WINAPI DeviceHeapRange(LPVOID* base, SIZE_T* size)
{
    DefaultHeap().Range(base, size);
}

HANDLE WINAPI DeviceHeapCreate(SIZE_T size)
{
    auto arena = std::make_unique<Arena>(size);
    LPVOID base = nullptr;
    arena->Range(&base, nullptr);
    return base ? arena.release() : nullptr;
}

void WINAPI DeviceHeapDestroy(HANDLE heap, BOOL forgetBlocks)
{
    if (!heap)
        return;
    auto* arena = static_cast<Arena*>(heap);
    if (forgetBlocks)
        for (void* block : arena->Live())
            coredll::Released(DEVICE_HEAP_BLOCKS, block);
    delete arena;
}

LPVOID WINAPI DeviceHeapAlloc(HANDLE heap, SIZE_T size)
{
    if (coredll::Fails("malloc", nullptr))
        return nullptr;
    return Allocate(*ArenaOf(heap), size);
}

BOOL WINAPI DeviceHeapFree(HANDLE heap, LPVOID block)
{
    if (!block)
        return TRUE;
    if (!ArenaOf(heap)->Free(block))
        return FALSE;
    coredll::Released(DEVICE_HEAP_BLOCKS, block);
    return TRUE;
}

void WINAPI DeviceHeapBounds(HANDLE heap, LPVOID* base, SIZE_T* size)
{
    ArenaOf(heap)->Range(base, size);
}

} // extern "C"

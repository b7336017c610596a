// The C runtime's heap, which Windows CE's core library exports. Its blocks
// lie in one arena below 2 GB, where a Windows CE module's 32-bit pointers
// reach (a module run on an emulated processor uses them as they are); they
// are counted while they live, and a test can make the next allocations fail.
#include "Accounting.h"
#include "Failures.h"

#include <devicememory.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

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

// Blocks of 16 bytes, doubling up to the arena's size, each behind a header
// of 16 bytes that names its size class; a block freed is kept for the next
// of its class.
class LowHeap
{
public:
    void* Allocate(std::size_t size)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Ready())
            return nullptr;
        int sizeClass = 0;
        while (sizeClass < kClasses && BlockSize(sizeClass) - kHeader < size)
            ++sizeClass;
        if (sizeClass == kClasses)
            return nullptr;
        char* block = static_cast<char*>(free_[sizeClass]);
        if (block) {
            free_[sizeClass] = *reinterpret_cast<void**>(block + kHeader);
        } else {
            if (kArena - used_ < BlockSize(sizeClass))
                return nullptr;
            block = base_ + used_;
            used_ += BlockSize(sizeClass);
        }
        *reinterpret_cast<int*>(block) = sizeClass;
        return block + kHeader;
    }

    void Free(void* memory)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        char* block = static_cast<char*>(memory) - kHeader;
        const int sizeClass = *reinterpret_cast<int*>(block);
        *reinterpret_cast<void**>(block + kHeader) = free_[sizeClass];
        free_[sizeClass] = block;
    }

    void Range(LPVOID* base, SIZE_T* size)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Ready();
        if (base)
            *base = base_;
        if (size)
            *size = base_ ? kArena : 0;
    }

    ~LowHeap() { DeviceFreeLow(base_); }

private:
    static constexpr std::size_t kArena = 32 << 20;
    static constexpr std::size_t kHeader = 16;
    static constexpr int kClasses = 22; // 16 bytes .. 32 MB

    static constexpr std::size_t BlockSize(int sizeClass) { return std::size_t{16} << sizeClass; }

    bool Ready()
    {
        if (!base_)
            base_ = static_cast<char*>(DeviceAllocateLow(kArena));
        return base_ != nullptr;
    }

    std::mutex mutex_;
    char* base_ = nullptr;
    std::size_t used_ = 0;
    void* free_[kClasses] = {};
};

LowHeap g_heap;

} // namespace

extern "C" {

void* __cdecl CeMalloc(size_t size)
{
    CE_FALLIBLE("malloc", nullptr);
    if (FailThisAllocation())
        return nullptr;
    return coredll::Counted(DEVICE_HEAP_BLOCKS, g_heap.Allocate(size));
}

void __cdecl CeFree(void* block)
{
    if (!block)
        return;
    coredll::Released(DEVICE_HEAP_BLOCKS, block);
    g_heap.Free(block);
}

void WINAPI DeviceFailAllocations(DWORD count)
{
    g_failures = count;
}

void WINAPI DeviceHeapRange(LPVOID* base, SIZE_T* size)
{
    g_heap.Range(base, size);
}

} // extern "C"

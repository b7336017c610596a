#include "HostArena.h"

#include <windows.h>

#include <cstring>

namespace armce {

namespace {

// Room for the longest strings of a few nested calls.
constexpr std::size_t kArenaSize = 512 * 1024;

struct Arena
{
    alignas(8) unsigned char bytes[kArenaSize];
    std::size_t used = 0;
};

// Each thread's arena, in a Windows slot rather than thread_local: this
// toolchain emulates those through library calls, which every import a module
// calls would pay.
const DWORD g_arenaSlot = TlsAlloc();

Arena& ThreadArena()
{
    // Reading a slot clears the last error, which a call's may still be.
    const DWORD error = GetLastError();
    auto* arena = static_cast<Arena*>(TlsGetValue(g_arenaSlot));
    SetLastError(error);
    if (!arena) {
        arena = new Arena;
        TlsSetValue(g_arenaSlot, arena);
    }
    return *arena;
}

} // namespace

HostArena::Mark::Mark() : used_(ThreadArena().used)
{
}

HostArena::Mark::~Mark()
{
    ThreadArena().used = used_;
}

void* HostArena::Take(std::size_t size)
{
    Arena& arena = ThreadArena();
    const std::size_t at = (arena.used + 7) & ~std::size_t{7};
    if (at > kArenaSize || size > kArenaSize - at)
        return nullptr;
    arena.used = at + size;
    return arena.bytes + at;
}

const wchar_t* HostArena::Copy(const wchar_t* text, std::size_t length)
{
    auto* copy = static_cast<wchar_t*>(Take((length + 1) * sizeof(wchar_t)));
    if (!copy)
        return nullptr;
    std::memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = L'\0';
    return copy;
}

} // namespace armce

// Every font, DC, bitmap, brush, pen, icon, window, registry key and heap
// block made through the library is counted until it is released; at process
// exit a line on the error output names what was left. What an emulated
// module makes is its own: the device can tell who made a handle, and frees
// what a module that was stopped left behind.
#include "Accounting.h"

#include <devicefailures.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// The emulated module on whose behalf this thread calls now; 0 for none. In
// a Windows slot, not thread_local: this toolchain emulates those through
// library calls, which every call of an emulated module would pay twice.
const DWORD g_ownerSlot = TlsAlloc();

DWORD CurrentOwner()
{
    // Reading a slot clears the last error, which the caller's may still be.
    const DWORD error = GetLastError();
    const auto owner = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(TlsGetValue(g_ownerSlot)));
    SetLastError(error);
    return owner;
}

// The lock of the ledger, which every call of an emulated module consults: a
// slim reader/writer lock costs one interlocked instruction, where this
// toolchain's std::mutex costs library calls and a spin lock.
class SlimLock
{
public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

const char* const kNames[DEVICE_RESOURCE_KINDS][2] = {
    {"font", "fonts"}, {"DC", "DCs"}, {"bitmap", "bitmaps"}, {"brush", "brushes"},
    {"pen", "pens"}, {"icon", "icons"}, {"window", "windows"}, {"registry key", "registry keys"},
    {"heap block", "heap blocks"},
};

class Ledger
{
public:
    void Made(DWORD kind, const void* handle)
    {
        if (!handle || kind >= DEVICE_RESOURCE_KINDS)
            return;
        std::lock_guard<SlimLock> lock(lock_);
        Entry& entry = LedgerFor(kind)[Key(kind, handle)];
        if (entry.references && entry.kind != kind) {
            // A handle the platform reused after a release not seen here.
            counts_[entry.kind] -= entry.references;
            Disown(entry, entry.references);
            entry.references = 0;
        }
        // A window DC may be handed out twice before it comes back.
        Disown(entry, entry.references);
        entry.kind = kind;
        entry.handle = handle;
        entry.owner = CurrentOwner();
        ++entry.references;
        if (kind != DEVICE_HEAP_BLOCKS && entry.owner)
            owned_[entry.owner] += entry.references;
        ++counts_[kind];
        ++made_[kind];
    }

    bool Released(DWORD kind, const void* handle)
    {
        std::lock_guard<SlimLock> lock(lock_);
        auto& live = LedgerFor(kind);
        const auto entry = live.find(Key(kind, handle));
        if (entry == live.end() || (kind < DEVICE_RESOURCE_KINDS && entry->second.kind != kind))
            return false;
        --counts_[entry->second.kind];
        Disown(entry->second, 1);
        if (--entry->second.references == 0)
            live.erase(entry);
        return true;
    }

    LONG Live(DWORD kind)
    {
        std::lock_guard<SlimLock> lock(lock_);
        return kind < DEVICE_RESOURCE_KINDS ? counts_[kind] : -1;
    }

    LONG Made(DWORD kind)
    {
        std::lock_guard<SlimLock> lock(lock_);
        return kind < DEVICE_RESOURCE_KINDS ? made_[kind] : -1;
    }

    LONG OwnedBy(DWORD owner)
    {
        std::lock_guard<SlimLock> lock(lock_);
        const auto count = owned_.find(owner);
        return count == owned_.end() ? 0 : count->second;
    }

    DWORD Owner(const void* handle)
    {
        std::lock_guard<SlimLock> lock(lock_);
        const auto entry = handles_.find(Key(0, handle));
        return entry == handles_.end() ? 0 : entry->second.owner;
    }

    // Takes every handle (not heap block) the owner made out of the ledger.
    std::vector<std::pair<DWORD, const void*>> TakeOwned(DWORD owner)
    {
        std::lock_guard<SlimLock> lock(lock_);
        std::vector<std::pair<DWORD, const void*>> owned;
        for (auto entry = handles_.begin(); entry != handles_.end();) {
            if (entry->second.owner != owner) {
                ++entry;
                continue;
            }
            owned.emplace_back(entry->second.kind, entry->second.handle);
            counts_[entry->second.kind] -= entry->second.references;
            Disown(entry->second, entry->second.references);
            entry = handles_.erase(entry);
        }
        return owned;
    }

    std::string Leftovers()
    {
        std::lock_guard<SlimLock> lock(lock_);
        std::string text;
        for (DWORD kind = 0; kind < DEVICE_RESOURCE_KINDS; ++kind) {
            if (counts_[kind] == 0)
                continue;
            text += (text.empty() ? "" : ", ") + std::to_string(counts_[kind]) + " " +
                    kNames[kind][counts_[kind] == 1 ? 0 : 1];
        }
        return text;
    }

private:
    struct Entry
    {
        DWORD kind = 0;
        LONG references = 0;
        const void* handle = nullptr;
        DWORD owner = 0;
    };

    using Handles = std::unordered_map<std::uintptr_t, Entry>;

    // A handle's significant bits are its low 32: 32-bit code hands the same
    // handle back sign-extended. A heap block is its whole address.
    static std::uintptr_t Key(DWORD kind, const void* handle)
    {
        const auto value = reinterpret_cast<std::uintptr_t>(handle);
        return kind == DEVICE_HEAP_BLOCKS ? value : static_cast<std::uint32_t>(value);
    }

    Handles& LedgerFor(DWORD kind) { return kind == DEVICE_HEAP_BLOCKS ? blocks_ : handles_; }

    // Takes references of an entry off its owner's count of handles.
    void Disown(const Entry& entry, LONG references)
    {
        if (entry.kind == DEVICE_HEAP_BLOCKS || !entry.owner || !references)
            return;
        const auto count = owned_.find(entry.owner);
        if (count != owned_.end() && (count->second -= references) <= 0)
            owned_.erase(count);
    }

    SlimLock lock_;
    Handles handles_;
    Handles blocks_;
    std::array<LONG, DEVICE_RESOURCE_KINDS> counts_ = {};
    std::array<LONG, DEVICE_RESOURCE_KINDS> made_ = {};
    std::unordered_map<DWORD, LONG> owned_; // each emulated module's live handles
};

Ledger& TheLedger()
{
    // Never destroyed: it reports at process exit, after static destructors.
    static Ledger* ledger = new Ledger;
    return *ledger;
}

} // namespace

namespace coredll {

void Made(DWORD kind, const void* handle)
{
    TheLedger().Made(kind, handle);
}

bool Released(DWORD kind, const void* handle)
{
    return TheLedger().Released(kind, handle);
}

void ReleasedAny(const void* handle)
{
    TheLedger().Released(DEVICE_RESOURCE_KINDS, handle);
}

} // namespace coredll

extern "C" {

LONG WINAPI DeviceLiveResources(DWORD kind)
{
    return TheLedger().Live(kind);
}

LONG WINAPI DeviceMadeResources(DWORD kind)
{
    return TheLedger().Made(kind);
}

DWORD WINAPI DeviceGuestCall(DWORD owner)
{
    const DWORD previous = CurrentOwner();
    TlsSetValue(g_ownerSlot, reinterpret_cast<void*>(static_cast<std::uintptr_t>(owner)));
    return previous;
}

DWORD WINAPI DeviceCurrentGuest(void)
{
    return CurrentOwner();
}

LONG WINAPI DeviceOwnedResources(DWORD owner)
{
    return TheLedger().OwnedBy(owner);
}

DWORD WINAPI DeviceResourceOwner(HANDLE handle)
{
    return TheLedger().Owner(handle);
}

DWORD WINAPI DeviceReleaseOwned(DWORD owner)
{
    if (!owner)
        return 0;
    std::vector<std::pair<DWORD, const void*>> owned = TheLedger().TakeOwned(owner);
    // Windows first: their destruction may still free what they hold.
    std::stable_partition(owned.begin(), owned.end(), [](const auto& e) { return e.first == DEVICE_WINDOWS; });
    for (const auto& [kind, handle] : owned) {
        auto* object = const_cast<void*>(handle);
        switch (kind) {
        case DEVICE_WINDOWS:
            DestroyWindow(static_cast<HWND>(object));
            break;
        case DEVICE_DCS:
            if (GetObjectType(object) == OBJ_MEMDC)
                DeleteDC(static_cast<HDC>(object));
            else
                ReleaseDC(WindowFromDC(static_cast<HDC>(object)), static_cast<HDC>(object));
            break;
        case DEVICE_ICONS:
            DestroyIcon(static_cast<HICON>(object));
            break;
        case DEVICE_REGISTRY_KEYS:
            RegCloseKey(static_cast<HKEY>(object));
            break;
        default:
            DeleteObject(object);
            break;
        }
    }
    return static_cast<DWORD>(owned.size());
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH) {
        const std::string left = TheLedger().Leftovers();
        if (!left.empty())
            std::fprintf(stderr, "coredll: left at exit: %s\n", left.c_str());
    }
    return TRUE;
}

} // extern "C"

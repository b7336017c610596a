// Every font, DC, bitmap, brush, pen, icon, window, registry key and heap
// block made through the library is counted until it is released; at process
// exit a line on the error output names what was left.
#include "Accounting.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

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
        std::lock_guard<std::mutex> lock(mutex_);
        Entry& entry = LedgerFor(kind)[Key(kind, handle)];
        if (entry.references && entry.kind != kind) {
            // A handle the platform reused after a release not seen here.
            counts_[entry.kind] -= entry.references;
            entry.references = 0;
        }
        // A window DC may be handed out twice before it comes back.
        entry.kind = kind;
        ++entry.references;
        ++counts_[kind];
        ++made_[kind];
    }

    bool Released(DWORD kind, const void* handle)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& live = LedgerFor(kind);
        const auto entry = live.find(Key(kind, handle));
        if (entry == live.end() || (kind < DEVICE_RESOURCE_KINDS && entry->second.kind != kind))
            return false;
        --counts_[entry->second.kind];
        if (--entry->second.references == 0)
            live.erase(entry);
        return true;
    }

    LONG Live(DWORD kind)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return kind < DEVICE_RESOURCE_KINDS ? counts_[kind] : -1;
    }

    LONG Made(DWORD kind)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return kind < DEVICE_RESOURCE_KINDS ? made_[kind] : -1;
    }

    std::string Leftovers()
    {
        std::lock_guard<std::mutex> lock(mutex_);
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

    std::mutex mutex_;
    Handles handles_;
    Handles blocks_;
    std::array<LONG, DEVICE_RESOURCE_KINDS> counts_ = {};
    std::array<LONG, DEVICE_RESOURCE_KINDS> made_ = {};
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

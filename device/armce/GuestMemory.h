// The memory one emulated module may touch: its image (section by section,
// read-only where the image says so, its headers and resources always),
// its stack, its heap and the scratch where the device hands it records.
// The host reads or writes a guest address only after asking here whether
// the whole range lies in that memory with the access it needs. Guest
// addresses are host addresses below 2 GB.
#pragma once

#include <cstdint>
#include <vector>

namespace armce {

using GuestPtr = std::uint32_t;

enum class Access
{
    kRead,
    kWrite,
};

class GuestMemory
{
public:
    void Add(GuestPtr base, std::uint32_t size, bool writable);
    // Forgets every region inside [base, base + size).
    void Remove(GuestPtr base, std::uint32_t size);
    void Clear() { regions_.clear(); }

    // Whether [address, address + size) lies whole in the module's memory
    // with the access asked for; an empty range at a valid address counts.
    bool Holds(GuestPtr address, std::uint32_t size, Access access) const;
    // The characters of the wide string at address before its end, when the
    // end comes within maxChars and the module's memory; -1 otherwise.
    long StringLength(GuestPtr address, std::uint32_t maxChars) const;
    // How many bytes from address on lie in the module's readable memory.
    std::uint32_t ReadableFrom(GuestPtr address) const;

    template <typename T>
    static T* At(GuestPtr address)
    {
        return reinterpret_cast<T*>(static_cast<std::uintptr_t>(address));
    }

private:
    struct Region
    {
        GuestPtr base;
        std::uint32_t size;
        bool writable;
    };
    // The region holding address, or null.
    const Region* Find(GuestPtr address) const;

    std::vector<Region> regions_; // by base, none overlapping
};

} // namespace armce

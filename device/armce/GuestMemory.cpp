#include "GuestMemory.h"

#include <algorithm>

namespace armce {

void GuestMemory::Add(GuestPtr base, std::uint32_t size, bool writable)
{
    if (!size)
        return;
    const auto at = std::lower_bound(regions_.begin(), regions_.end(), base,
        [](const Region& region, GuestPtr address) { return region.base < address; });
    regions_.insert(at, Region{base, size, writable});
}

void GuestMemory::Remove(GuestPtr base, std::uint32_t size)
{
    std::erase_if(regions_, [&](const Region& region) {
        return region.base >= base && region.base - base < size;
    });
}

const GuestMemory::Region* GuestMemory::Find(GuestPtr address) const
{
    auto after = std::upper_bound(regions_.begin(), regions_.end(), address,
        [](GuestPtr a, const Region& region) { return a < region.base; });
    if (after == regions_.begin())
        return nullptr;
    const Region& region = *(after - 1);
    return address - region.base < region.size ? &region : nullptr;
}

bool GuestMemory::Holds(GuestPtr address, std::uint32_t size, Access access) const
{
    // Adjacent regions serve a range that runs from one into the next.
    std::uint64_t at = address;
    const std::uint64_t end = std::uint64_t{address} + size;
    do {
        const Region* region = at <= UINT32_MAX ? Find(static_cast<GuestPtr>(at)) : nullptr;
        if (!region || (access == Access::kWrite && !region->writable))
            return false;
        at = std::uint64_t{region->base} + region->size;
    } while (at < end);
    return true;
}

std::uint32_t GuestMemory::ReadableFrom(GuestPtr address) const
{
    std::uint64_t at = address;
    while (at <= UINT32_MAX) {
        const Region* region = Find(static_cast<GuestPtr>(at));
        if (!region)
            break;
        at = std::uint64_t{region->base} + region->size;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(at - address, UINT32_MAX));
}

long GuestMemory::StringLength(GuestPtr address, std::uint32_t maxChars) const
{
    if (address % 2)
        return -1;
    const std::uint32_t chars = std::min(ReadableFrom(address) / 2, maxChars);
    const auto* text = At<const wchar_t>(address);
    for (std::uint32_t n = 0; n < chars; ++n)
        if (text[n] == L'\0')
            return static_cast<long>(n);
    return -1;
}

} // namespace armce

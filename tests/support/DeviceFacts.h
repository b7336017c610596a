// What a test asks of the device it runs in: the profile's density and the
// resources the device library counts.
#pragma once

#include <deviceaccounting.h>

#include <windows.h>

#include <array>
#include <cstdlib>

namespace devicefacts {

// The density of the test's device profile (DEVICE_DPI, set by CTest).
inline int ProfileDpi()
{
    const char* dpi = std::getenv("DEVICE_DPI");
    return dpi ? std::atoi(dpi) : 96;
}

// A length designed for 96 dpi, on the profile's device.
inline int Scaled(int v)
{
    return (v * ProfileDpi() + 48) / 96;
}

using Counts = std::array<LONG, DEVICE_RESOURCE_KINDS>;

// Every kind of resource alive now, as the device library counts them.
inline Counts Live()
{
    Counts counts;
    for (DWORD kind = 0; kind < DEVICE_RESOURCE_KINDS; ++kind)
        counts[kind] = DeviceLiveResources(kind);
    return counts;
}

// The height of the bitmap selected into a memory DC.
inline int SurfaceHeight(HDC memory)
{
    BITMAP bitmap = {};
    GetObjectW(GetCurrentObject(memory, OBJ_BITMAP), sizeof bitmap, &bitmap);
    return bitmap.bmHeight;
}

} // namespace devicefacts

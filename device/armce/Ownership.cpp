#include "Ownership.h"

#include "Bridge.h"

#include <deviceaccounting.h>

#include <algorithm>

namespace armce {

bool OwnsHandle(const GuestModule& module, HANDLE handle)
{
    return DeviceResourceOwner(handle) == module.id ||
           std::find(module.kernelHandles.begin(), module.kernelHandles.end(), handle) != module.kernelHandles.end();
}

bool OwnsWindow(const GuestModule& module, HWND window)
{
    return Bridge::Get().OwnsWindow(module, window);
}

bool IsGuestWindow(HWND window)
{
    return Bridge::Get().IsGuestWindow(window);
}

bool MayUseDc(const GuestModule& module, HDC dc)
{
    return dc && (DeviceResourceOwner(dc) == module.id || Bridge::Get().Hands(module, dc));
}

bool MayUseObject(const GuestModule& module, HGDIOBJ object)
{
    return object && (DeviceResourceOwner(object) == module.id || module.handedObjects.count(object));
}

void HandOver(GuestModule& module, HGDIOBJ object)
{
    if (object && DeviceResourceOwner(object) != module.id)
        module.handedObjects.insert(object);
}

bool IsPainting(const GuestModule& module)
{
    return Bridge::Get().Paints(module);
}

} // namespace armce

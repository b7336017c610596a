// What the device's core library counts of the work done through it, for
// tests, benchmarks and item authors: the resources and heap blocks made
// through it that are still alive, and the registry keys opened.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Kinds of resources counted.
#define DEVICE_FONTS 0
#define DEVICE_DCS 1          // memory DCs, and window DCs taken with GetDC or BeginPaint
#define DEVICE_BITMAPS 2
#define DEVICE_BRUSHES 3
#define DEVICE_PENS 4
#define DEVICE_ICONS 5        // icons loaded from modules
#define DEVICE_WINDOWS 6      // windows of classes registered through the library
#define DEVICE_REGISTRY_KEYS 7
#define DEVICE_HEAP_BLOCKS 8  // blocks of the C runtime's heap taken with malloc
#define DEVICE_RESOURCE_KINDS 9

// How many resources of a kind are alive now; -1 for an unknown kind.
LONG WINAPI DeviceLiveResources(DWORD kind);
// How many resources of a kind were made so far; -1 for an unknown kind.
LONG WINAPI DeviceMadeResources(DWORD kind);

// Registry keys opened or created (attempts, successful or not) so far.
DWORD WINAPI DeviceRegistryOpenings(void);

// For the device's processor emulator: the emulated module (a number of its
// choosing, 0 for none) on whose behalf this thread calls from now on; the
// previous one. What is made meanwhile is that module's, and its calls
// count as an item's for the failures a test asks for (devicefailures.h).
DWORD WINAPI DeviceGuestCall(DWORD dwOwner);
DWORD WINAPI DeviceCurrentGuest(void);
// How many handles (not heap blocks) an emulated module made are alive.
LONG WINAPI DeviceOwnedResources(DWORD dwOwner);
// The emulated module that made a handle counted here; 0 for none.
DWORD WINAPI DeviceResourceOwner(HANDLE hHandle);
// Frees every handle an emulated module made and left (windows, DCs, GDI
// objects, icons, registry keys; not heap blocks), as a device frees what a
// process that ended held; how many.
DWORD WINAPI DeviceReleaseOwned(DWORD dwOwner);

#ifdef __cplusplus
}
#endif

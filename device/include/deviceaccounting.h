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

#ifdef __cplusplus
}
#endif

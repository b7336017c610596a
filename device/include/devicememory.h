// The device's memory. A Windows CE module's pointers are 32 bits wide, so
// everything such a module sees lies in the low 2 GB of the address space:
// the heap of the C runtime it takes from the core library (malloc), and
// whatever the device maps for a module it runs on an emulated processor.
// Tests can make the heap's allocations fail, as they do on a device whose
// memory has run out; items never call that.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The next count allocations through the core library's malloc answer null;
// 0 lets every allocation through again.
void WINAPI DeviceFailAllocations(DWORD count);

// Reserves and commits size bytes (rounded up to whole pages, at a 64 KB
// boundary) below 2 GB, readable, writable and executable; null when no such
// room is left. DeviceFreeLow gives them back.
LPVOID WINAPI DeviceAllocateLow(SIZE_T size);
// Commits size bytes at address (a multiple of 64 KB below 2 GB) when that
// room is free; null otherwise.
LPVOID WINAPI DeviceAllocateLowAt(LPVOID address, SIZE_T size);
void WINAPI DeviceFreeLow(LPVOID memory);

// Where the heap of the core library's malloc lies: every block it hands out
// lies inside this range.
void WINAPI DeviceHeapRange(LPVOID* pBase, SIZE_T* pSize);

// A heap of its own for a module the device runs on an emulated processor:
// an arena of cbSize bytes below 2 GB, whose bookkeeping lies outside it.
// Its blocks are counted and fail as malloc's do (hHeap null: malloc's own
// heap). DeviceHeapFree answers FALSE, and changes nothing, for a block the
// heap does not hold. DeviceHeapDestroy frees the arena; with fForgetBlocks
// the blocks still held are no longer counted (a module that was stopped).
HANDLE WINAPI DeviceHeapCreate(SIZE_T cbSize);
void WINAPI DeviceHeapDestroy(HANDLE hHeap, BOOL fForgetBlocks);
LPVOID WINAPI DeviceHeapAlloc(HANDLE hHeap, SIZE_T cbSize);
BOOL WINAPI DeviceHeapFree(HANDLE hHeap, LPVOID pBlock);
void WINAPI DeviceHeapBounds(HANDLE hHeap, LPVOID* pBase, SIZE_T* pSize);

#ifdef __cplusplus
}
#endif

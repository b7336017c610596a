// Native code runs from the device's ROM only. A library built for this
// processor is the desktop's own code, which no wall of the device's holds,
// so the device loads one only when it is part of its own build: the ROM's
// file with exactly the bytes of the one named, and that file, never the
// one named (a file of the store, of a CAB or of the desktop).
#pragma once

#include <windows.h>

#include <string>

// The ROM's library with the bytes of the file at path (a desktop path),
// loaded; null with the reason in error when the ROM has none or it cannot
// be loaded.
HMODULE LoadRomModule(const std::wstring& path, std::wstring& error);

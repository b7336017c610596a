// Pictures of the device screen as PNG files.
#pragma once

#include <windows.h>

#include <string>

// Writes this program's windows inside area (screen coordinates) to a PNG file.
// Returns an error message, or an empty string.
std::wstring WriteScreenshot(const RECT& area, const std::wstring& path);

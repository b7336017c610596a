#pragma once

#include <windows.h>

namespace coredll {

// Windows CE grants every opened key read and write access.
constexpr REGSAM kCeAccess = KEY_READ | KEY_WRITE;

// A Windows CE key path without the one leading backslash the desktop refuses.
const wchar_t* CePath(const wchar_t* path);

} // namespace coredll

#pragma once

#include <windows.h>

namespace coredll {

// A Windows CE key path without the one leading backslash the desktop refuses.
const wchar_t* CePath(const wchar_t* path);

} // namespace coredll

// File names given on the command line, for the device's file functions.
#pragma once

#include <string>

// A path for the device's file functions: a Unix path ("/tmp/x.png") becomes
// the name Wine gives it; anything else is kept.
std::wstring DevicePath(const std::wstring& path);

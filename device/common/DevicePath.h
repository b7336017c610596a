// A device program's command line: its arguments, and the file names among
// them for the device's file functions.
#pragma once

#include <string>
#include <vector>

// The program's arguments, without its own name.
std::vector<std::wstring> ProgramArguments();

// A path for the device's file functions: a Unix path ("/tmp/x.png") becomes
// the name Wine gives it; anything else is kept.
std::wstring DevicePath(const std::wstring& path);

// A file a device program's command line names, to be read or written.
// Started by a module of the device (devicestart.h), the program takes a
// device path only ("\My Documents\x.png"): the file in the device's store,
// or, to be read, in its ROM; any other path names no file (empty).
// Otherwise the path is the desktop's, as DevicePath takes it, or a device
// path (from the root) as the device names it.
std::wstring CommandLineFile(const std::wstring& path, bool writing);

// What a Windows CE device's loader can resolve: the names its four system
// libraries export (the lists of device/ce-exports, built into the test
// program as resources), and the imports of a module that fall outside them.
#pragma once

#include "PeImage.h"

#include <set>
#include <string>
#include <vector>

namespace windowsce {

// The names a system library of the device exports; empty for a library that
// is not one of the four.
std::set<std::string> Exports(const std::string& library);

// Each import of the image that a device could not resolve ("library name",
// or "library #ordinal" for an import by ordinal), and each library imported
// from in more than one descriptor.
std::vector<std::string> Unresolvable(const peimage::PeImage& image);

// The libraries the image imports from.
std::set<std::string> Libraries(const peimage::PeImage& image);

// The image's exports as a line: the module's name, then each ordinal, with
// "=name" when it has a name ("mesolune.dll 240 241").
std::string ExportLine(const peimage::PeImage& image);

} // namespace windowsce

// A CAB file's members, unpacked into a folder by the platform's cabinet
// library (MSZIP and uncompressed folders).
#pragma once

#include <string>

// Unpacks every member of the CAB at cabPath into folder; false with the
// reason when the CAB is cut short, damaged, or holds a member whose name
// is a path.
bool UnpackCabinet(const std::wstring& cabPath, const std::wstring& folder, std::wstring& error);

// A CAB file's members, unpacked into a folder by the installer's own
// reader of the format (a CAB is untrusted: no library that was not written
// for hostile input reads it). Before anything is unpacked, the CAB's own
// tables are read and held to the installer's limits: one cabinet (no set),
// MSZIP and uncompressed folders only, and caps on its size, its members,
// each member's size and their sum, and on what its data unpacks to; every
// member lies within what its folder unpacked, and a data block's checksum,
// where it has one, matches.
#pragma once

#include <cstdint>
#include <string>

namespace cabinet {

constexpr std::uint64_t kMaxCabinetBytes = 64 << 20;
constexpr unsigned kMaxMembers = 256;
constexpr std::uint32_t kMaxMemberBytes = 16 << 20;
constexpr std::uint64_t kMaxUnpackedBytes = 64 << 20;

} // namespace cabinet

// Unpacks every member of the CAB at cabPath into folder; false with the
// reason when the CAB is cut short, damaged, beyond the limits, or holds a
// member whose name is not a plain file name.
bool UnpackCabinet(const std::wstring& cabPath, const std::wstring& folder, std::wstring& error);

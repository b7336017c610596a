// Deflate (RFC 1951), as a CAB's MSZIP blocks hold it: each block a whole
// deflate stream whose back references may reach into what the blocks
// before it in its folder unpacked. Written for untrusted data: every code
// table, length and distance is checked, no read goes past the block's
// bytes and no write past what the block says it unpacks to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cabinet {

// Unpacks the deflate stream of size bytes at data onto the end of folder
// (what the folder's earlier blocks unpacked, which back references may
// reach), which must then have grown by exactly unpacked bytes; false with
// what is wrong with the stream otherwise.
bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t unpacked, std::vector<std::uint8_t>& folder,
    std::wstring& error);

} // namespace cabinet

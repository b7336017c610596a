// Mutations of a file, as a damaged or hostile one has them, for the tests
// that feed the device's readers of untrusted files.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace mutation {

// How many mutations a fuzz test tries: FUZZ_SEEDS, or a few thousand.
unsigned Seeds();
std::vector<char> ReadAll(const std::wstring& path);
void Write(const std::wstring& path, const std::vector<char>& bytes);
// A few bytes changed, a stretch cut out or repeated, a word of the first
// headerSize bytes set to an extreme, or the end cut off.
std::vector<char> Mutated(std::vector<char> bytes, std::mt19937& random, size_t headerSize);

} // namespace mutation

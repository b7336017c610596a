#include "Mutation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace mutation {

unsigned Seeds()
{
    const char* seeds = std::getenv("FUZZ_SEEDS");
    return seeds && *seeds ? static_cast<unsigned>(std::strtoul(seeds, nullptr, 10)) : 2500;
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Write(const std::wstring& path, const std::vector<char>& bytes)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<char> Mutated(std::vector<char> bytes, std::mt19937& random, size_t headerSize)
{
    std::uniform_int_distribution<int> pick(0, 4);
    const auto at = [&](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random); };
    switch (pick(random)) {
    case 0:
        for (int n = std::uniform_int_distribution<int>(1, 8)(random); n > 0; --n)
            bytes[at(bytes.size())] = static_cast<char>(random());
        break;
    case 1: {
        const size_t from = at(bytes.size()), length = at(bytes.size() - from) + 1;
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        break;
    }
    case 2: {
        const size_t from = at(bytes.size()), length = std::min<size_t>(at(bytes.size() - from) + 1, 4096);
        const std::vector<char> copy(bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at(bytes.size())), copy.begin(), copy.end());
        break;
    }
    case 3: {
        const std::uint16_t extremes[] = {0, 1, 0x7FFF, 0x8000, 0xFFFD, 0xFFFF};
        const std::uint16_t word = extremes[at(std::size(extremes))];
        const size_t where = at(std::min(headerSize, bytes.size() - 1)) & ~size_t{1};
        std::memcpy(bytes.data() + where, &word, std::min<size_t>(2, bytes.size() - where));
        break;
    }
    default:
        bytes.resize(at(bytes.size()) + 1);
        break;
    }
    return bytes;
}

} // namespace mutation

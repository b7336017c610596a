#include "Inflate.h"

#include <algorithm>
#include <cstring>

namespace cabinet {

namespace {

constexpr int kMaxBits = 15;
constexpr int kLiteralCodes = 286;
constexpr int kFixedLiteralCodes = 288;
constexpr int kDistanceCodes = 30;
constexpr int kLengthCodeCodes = 19;
constexpr int kEndOfBlock = 256;
// How far back a reference may reach.
constexpr std::size_t kWindowBytes = 32768;

constexpr std::uint16_t kLengthBase[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67,
    83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5,
    5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513,
    769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10,
    11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the lengths of its length code.
constexpr std::uint8_t kLengthCodeOrder[kLengthCodeCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2,
    14, 1, 15};

// The stream's bits, least significant first, never read past its end.
class Bits
{
public:
    Bits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Take(int count, unsigned& value)
    {
        while (held_ < count) {
            if (at_ == size_)
                return false;
            buffer_ |= static_cast<std::uint32_t>(data_[at_++]) << held_;
            held_ += 8;
        }
        value = buffer_ & ((1u << count) - 1);
        buffer_ >>= count;
        held_ -= count;
        return true;
    }

    // A stored block starts at a byte: the bits left of this one go (after
    // a Take, fewer than eight are held).
    void ToByte()
    {
        buffer_ = 0;
        held_ = 0;
    }

    const std::uint8_t* Bytes(std::size_t count)
    {
        if (size_ - at_ < count)
            return nullptr;
        const std::uint8_t* bytes = data_ + at_;
        at_ += count;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::uint32_t buffer_ = 0;
    int held_ = 0;
};

// A canonical Huffman code: how many codes of each length, and the symbols
// in the order of their codes.
struct Code
{
    std::uint16_t count[kMaxBits + 1] = {};
    std::uint16_t symbol[kFixedLiteralCodes] = {};
};

enum class Made
{
    kComplete,
    kIncomplete,
    kOverSubscribed,
};

Made Build(Code& code, const std::uint8_t* lengths, int symbols)
{
    std::fill(std::begin(code.count), std::end(code.count), 0);
    for (int s = 0; s < symbols; ++s)
        ++code.count[lengths[s]];
    int left = 1;
    for (int length = 1; length <= kMaxBits; ++length) {
        left = 2 * left - code.count[length];
        if (left < 0)
            return Made::kOverSubscribed;
    }
    std::uint16_t offset[kMaxBits + 1] = {};
    for (int length = 1; length < kMaxBits; ++length)
        offset[length + 1] = static_cast<std::uint16_t>(offset[length] + code.count[length]);
    for (int s = 0; s < symbols; ++s)
        if (lengths[s])
            code.symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
    return left == 0 ? Made::kComplete : Made::kIncomplete;
}

// An incomplete code is taken only where it has no code longer than one
// bit (a stream that uses one symbol, or no distance), as zlib takes it.
bool Usable(Made made, const Code& code, int symbols)
{
    return made == Made::kComplete || (made == Made::kIncomplete && code.count[0] + code.count[1] == symbols);
}

// The next symbol, or -1 where the bits are no code or run out.
int Decode(Bits& bits, const Code& code)
{
    int value = 0, first = 0, index = 0;
    for (int length = 1; length <= kMaxBits; ++length) {
        unsigned bit = 0;
        if (!bits.Take(1, bit))
            return -1;
        value |= static_cast<int>(bit);
        const int count = code.count[length];
        if (value - count < first)
            return code.symbol[index + (value - first)];
        index += count;
        first = (first + count) << 1;
        value <<= 1;
    }
    return -1;
}

class Stream
{
public:
    Stream(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& folder, std::size_t limit)
        : bits_(data, size), folder_(folder), limit_(limit)
    {
    }

    bool Run(std::wstring& error)
    {
        for (unsigned last = 0; !last;) {
            unsigned type = 0;
            if (!bits_.Take(1, last) || !bits_.Take(2, type))
                return Fail(L"it ends inside a block", error);
            const bool done = type == 0 ? Stored(error)
                              : type == 1 ? Fixed(error)
                              : type == 2 ? Dynamic(error)
                                          : Fail(L"a block of a kind deflate does not have", error);
            if (!done)
                return false;
        }
        if (folder_.size() != limit_)
            return Fail(L"it unpacks to fewer bytes than it says", error);
        return true;
    }

private:
    static bool Fail(const wchar_t* why, std::wstring& error)
    {
        error = why;
        return false;
    }

    bool Stored(std::wstring& error)
    {
        bits_.ToByte();
        const std::uint8_t* header = bits_.Bytes(4);
        if (!header)
            return Fail(L"it ends inside a block", error);
        const unsigned length = header[0] | header[1] << 8;
        const unsigned complement = header[2] | header[3] << 8;
        if (length != (~complement & 0xFFFF))
            return Fail(L"a stored block's length does not match its complement", error);
        if (length > limit_ - folder_.size())
            return Fail(L"it unpacks to more bytes than it says", error);
        const std::uint8_t* bytes = bits_.Bytes(length);
        if (!bytes)
            return Fail(L"it ends inside a block", error);
        folder_.insert(folder_.end(), bytes, bytes + length);
        return true;
    }

    bool Fixed(std::wstring& error)
    {
        static const auto codes = [] {
            std::uint8_t lengths[kFixedLiteralCodes];
            std::fill(lengths, lengths + 144, 8);
            std::fill(lengths + 144, lengths + 256, 9);
            std::fill(lengths + 256, lengths + 280, 7);
            std::fill(lengths + 280, lengths + kFixedLiteralCodes, 8);
            std::pair<Code, Code> made;
            Build(made.first, lengths, kFixedLiteralCodes);
            std::fill(lengths, lengths + kDistanceCodes, 5);
            Build(made.second, lengths, kDistanceCodes);
            return made;
        }();
        return Codes(codes.first, codes.second, error);
    }

    bool Dynamic(std::wstring& error)
    {
        unsigned literals = 0, distances = 0, lengthCodes = 0;
        if (!bits_.Take(5, literals) || !bits_.Take(5, distances) || !bits_.Take(4, lengthCodes))
            return Fail(L"it ends inside a block", error);
        literals += 257;
        distances += 1;
        lengthCodes += 4;
        if (literals > kLiteralCodes || distances > kDistanceCodes)
            return Fail(L"a block has more codes than deflate", error);
        std::uint8_t lengths[kLiteralCodes + kDistanceCodes] = {};
        for (unsigned i = 0; i < lengthCodes; ++i) {
            unsigned length = 0;
            if (!bits_.Take(3, length))
                return Fail(L"it ends inside a block", error);
            lengths[kLengthCodeOrder[i]] = static_cast<std::uint8_t>(length);
        }
        Code lengthCode;
        if (Build(lengthCode, lengths, kLengthCodeCodes) != Made::kComplete)
            return Fail(L"a block's code of code lengths is not whole", error);
        std::fill(std::begin(lengths), std::end(lengths), 0);
        for (unsigned at = 0; at < literals + distances;) {
            const int symbol = Decode(bits_, lengthCode);
            if (symbol < 0)
                return Fail(L"a code length that is no code", error);
            if (symbol < 16) {
                lengths[at++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            unsigned times = 0;
            bool read = false;
            if (symbol == 16) {
                if (at == 0)
                    return Fail(L"a repeated code length with none before it", error);
                repeated = lengths[at - 1];
                read = bits_.Take(2, times);
                times += 3;
            } else if (symbol == 17) {
                read = bits_.Take(3, times);
                times += 3;
            } else {
                read = bits_.Take(7, times);
                times += 11;
            }
            if (!read)
                return Fail(L"it ends inside a block", error);
            if (times > literals + distances - at)
                return Fail(L"code lengths past the block's codes", error);
            std::fill(lengths + at, lengths + at + times, repeated);
            at += times;
        }
        if (!lengths[kEndOfBlock])
            return Fail(L"a block without an end", error);
        Code literal, distance;
        if (!Usable(Build(literal, lengths, static_cast<int>(literals)), literal, static_cast<int>(literals)) ||
            !Usable(Build(distance, lengths + literals, static_cast<int>(distances)), distance,
                static_cast<int>(distances)))
            return Fail(L"a block's code is not whole", error);
        return Codes(literal, distance, error);
    }

    bool Codes(const Code& literal, const Code& distance, std::wstring& error)
    {
        for (;;) {
            int symbol = Decode(bits_, literal);
            if (symbol < 0)
                return Fail(L"bits that are no code", error);
            if (symbol == kEndOfBlock)
                return true;
            if (symbol < kEndOfBlock) {
                if (folder_.size() == limit_)
                    return Fail(L"it unpacks to more bytes than it says", error);
                folder_.push_back(static_cast<std::uint8_t>(symbol));
                continue;
            }
            symbol -= kEndOfBlock + 1;
            if (symbol >= static_cast<int>(std::size(kLengthBase)))
                return Fail(L"a length code that deflate does not have", error);
            unsigned extra = 0;
            if (!bits_.Take(kLengthExtra[symbol], extra))
                return Fail(L"it ends inside a block", error);
            const std::size_t length = kLengthBase[symbol] + extra;
            const int code = Decode(bits_, distance);
            if (code < 0 || code >= kDistanceCodes)
                return Fail(L"a distance code that deflate does not have", error);
            if (!bits_.Take(kDistanceExtra[code], extra))
                return Fail(L"it ends inside a block", error);
            const std::size_t back = kDistanceBase[code] + extra;
            // The folder's earlier blocks are the window, no further back.
            if (back > std::min(folder_.size(), kWindowBytes))
                return Fail(L"a reference back past what was unpacked", error);
            if (length > limit_ - folder_.size())
                return Fail(L"it unpacks to more bytes than it says", error);
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint8_t byte = folder_[folder_.size() - back];
                folder_.push_back(byte);
            }
        }
    }

    Bits bits_;
    std::vector<std::uint8_t>& folder_;
    std::size_t limit_;
};

} // namespace

bool Inflate(const std::uint8_t* data, std::size_t size, std::size_t unpacked, std::vector<std::uint8_t>& folder,
    std::wstring& error)
{
    Stream stream(data, size, folder, folder.size() + unpacked);
    return stream.Run(error);
}

} // namespace cabinet

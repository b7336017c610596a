// The installer's deflate decoder on streams written bit by bit: what it
// unpacks, and each way a stream can lie, refused with what lies.
#include "Inflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A deflate stream's bits: numbers least significant bit first, Huffman
// codes most significant bit first, as RFC 1951 packs them.
class Stream
{
public:
    Stream& Bits(unsigned value, int count)
    {
        for (int i = 0; i < count; ++i)
            Put((value >> i) & 1);
        return *this;
    }
    Stream& Code(unsigned code, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            Put((code >> i) & 1);
        return *this;
    }
    Stream& Bytes(const std::vector<std::uint8_t>& bytes)
    {
        used_ = 0;
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // A block's header: whether it is the last, and its kind.
    Stream& Block(bool last, unsigned kind) { return Bits(last, 1).Bits(kind, 2); }
    // The fixed code's literals, end of block, lengths and distances.
    Stream& Literal(char c) { return Code(0x30 + static_cast<unsigned char>(c), 8); }
    Stream& End() { return Code(0, 7); }
    Stream& Length(unsigned symbol) { return symbol < 280 ? Code(symbol - 256, 7) : Code(0xC0 + symbol - 280, 8); }
    Stream& Distance(unsigned symbol) { return Code(symbol, 5); }

    const std::vector<std::uint8_t>& Data() const { return bytes_; }

private:
    void Put(unsigned bit)
    {
        if (used_ == 0 || used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        bytes_.back() |= static_cast<std::uint8_t>(bit << used_++);
    }

    std::vector<std::uint8_t> bytes_;
    int used_ = 0;
};

struct Case
{
    const char* what;
    Stream stream;
    std::string before; // what the folder's earlier blocks unpacked
    std::size_t unpacked;
    std::string after;  // the folder after the stream; empty: refused
    std::wstring says;  // part of the refusal
};

std::vector<Case> Cases()
{
    return {
        {"a stored block", Stream().Block(true, 0).Bytes({3, 0, 0xFC, 0xFF, 'a', 'b', 'c'}), "", 3, "abc", L""},
        {"a literal and a reference into the folder's earlier blocks",
            Stream().Block(true, 1).Literal('a').Length(257).Distance(1).End(), "xy", 4, "xyayay", L""},
        {"two blocks, the second referring into the first",
            Stream().Block(false, 1).Literal('a').Literal('b').End().Block(true, 1).Length(258).Distance(1).End(), "",
            6, "ababab", L""},
        {"a stored length that is not its complement", Stream().Block(true, 0).Bytes({3, 0, 0xFC, 0xFE, 'a', 'b', 'c'}),
            "", 3, "", L"complement"},
        {"a stored block cut short", Stream().Block(true, 0).Bytes({3, 0, 0xFC, 0xFF, 'a', 'b'}), "", 3, "",
            L"ends inside a block"},
        {"nothing at all", Stream(), "", 0, "", L"ends inside a block"},
        {"a block of the fourth kind", Stream().Block(true, 3), "", 0, "", L"kind"},
        {"a reference back past what was unpacked", Stream().Block(true, 1).Literal('a').Length(257).Distance(1).End(),
            "", 4, "", L"back past"},
        {"more bytes than it says", Stream().Block(true, 1).Literal('a').Literal('b').End(), "", 1, "", L"more bytes"},
        {"a reference to more bytes than it says", Stream().Block(true, 1).Literal('a').Length(260).Distance(0).End(),
            "", 3, "", L"more bytes"},
        {"fewer bytes than it says", Stream().Block(true, 1).Literal('a').End(), "", 2, "", L"fewer bytes"},
        {"a length code deflate does not have", Stream().Block(true, 1).Literal('a').Length(286).Distance(0).End(), "",
            4, "", L"length code"},
        {"a distance code deflate does not have", Stream().Block(true, 1).Literal('a').Length(257).Distance(30).End(),
            "", 4, "", L"distance code"},
        // Three lengths of one bit for the code of code lengths: too many codes.
        {"a code of code lengths that is over-subscribed",
            Stream().Block(true, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4).Bits(1, 3).Bits(1, 3).Bits(1, 3).Bits(0, 3), "", 1,
            "", L"not whole"},
        {"no end of block before the stream ends", Stream().Block(true, 1).Literal('a'), "", 1, "",
            L"no code"},
    };
}

TEST(Inflate, UnpacksWhatAStreamSaysAndRefusesEachLie)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> folder(c.before.begin(), c.before.end());
        std::wstring error;
        const std::vector<std::uint8_t>& data = c.stream.Data();
        const bool unpacked = cabinet::Inflate(data.data(), data.size(), c.unpacked, folder, error);
        if (c.after.empty()) {
            EXPECT_FALSE(unpacked);
            EXPECT_NE(std::wstring::npos, error.find(c.says)) << std::string(error.begin(), error.end());
        } else {
            ASSERT_TRUE(unpacked) << std::string(error.begin(), error.end());
            EXPECT_EQ(c.after, std::string(folder.begin(), folder.end()));
        }
    }
}

} // namespace

#include "DialogTemplate.h"

#include <cstring>

namespace armce {

namespace {

// Walks a template within the bytes the module can read from its start:
// WORD fields, items on DWORD boundaries.
class BoundedReader
{
public:
    BoundedReader(const BYTE* start, std::uint32_t size) : start_(start), size_(size) {}

    bool Word(WORD& value) { return Read(&value, sizeof value); }
    bool Dword(DWORD& value) { return Read(&value, sizeof value); }
    bool Skip(std::uint32_t bytes) { return bytes <= size_ - at_ ? (at_ += bytes, true) : false; }

    bool SkipString()
    {
        for (WORD c = 1; c != 0;)
            if (!Word(c))
                return false;
        return true;
    }

    // A menu, class or title: none, an ordinal after 0xFFFF, or a string.
    bool SkipNameOrOrdinal()
    {
        WORD first = 0;
        if (!Word(first))
            return false;
        if (first == 0xFFFF)
            return Word(first);
        return first == 0 || SkipString();
    }

    bool AlignToDword() { return Skip((4 - at_ % 4) % 4); }
    std::uint32_t Offset() const { return at_; }

private:
    bool Read(void* value, std::uint32_t bytes)
    {
        if (bytes > size_ - at_)
            return false;
        std::memcpy(value, start_ + at_, bytes);
        at_ += bytes;
        return true;
    }

    const BYTE* start_;
    std::uint32_t size_;
    std::uint32_t at_ = 0;
};

bool Measure(BoundedReader& reader)
{
    WORD version = 0, signature = 0;
    if (!reader.Word(version) || !reader.Word(signature))
        return false;
    const bool extended = version == 1 && signature == 0xFFFF;
    DWORD style = 0;
    WORD items = 0;
    if (extended) {
        if (!reader.Skip(2 * sizeof(DWORD)) || !reader.Dword(style)) // help id, extended style
            return false;
    } else {
        // version and signature were the style's two words
        style = MAKELONG(version, signature);
        if (!reader.Skip(sizeof(DWORD))) // extended style
            return false;
    }
    if (!reader.Word(items) || !reader.Skip(4 * sizeof(short)) || !reader.SkipNameOrOrdinal() ||
        !reader.SkipNameOrOrdinal() || !reader.SkipString())
        return false;
    if (style & DS_SETFONT) {
        if (!reader.Skip(sizeof(WORD)) || (extended && !reader.Skip(sizeof(WORD) + 2)) || !reader.SkipString())
            return false;
    }
    for (WORD i = 0; i < items; ++i) {
        WORD extra = 0;
        if (!reader.AlignToDword() ||
            !reader.Skip(extended ? 3 * sizeof(DWORD) + 4 * sizeof(short) + sizeof(DWORD)
                                  : 2 * sizeof(DWORD) + 4 * sizeof(short) + sizeof(WORD)) ||
            !reader.SkipNameOrOrdinal() || !reader.SkipNameOrOrdinal() || !reader.Word(extra) || !reader.Skip(extra))
            return false;
    }
    return true;
}

} // namespace

bool CopyDialogTemplate(const GuestMemory& memory, GuestPtr address, std::vector<DWORD>& copy)
{
    if (!address || address % 4)
        return false;
    BoundedReader reader(GuestMemory::At<const BYTE>(address), memory.ReadableFrom(address));
    if (!Measure(reader))
        return false;
    copy.assign((reader.Offset() + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    std::memcpy(copy.data(), GuestMemory::At<const void>(address), reader.Offset());
    return true;
}

} // namespace armce

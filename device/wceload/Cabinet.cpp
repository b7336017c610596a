#include "Cabinet.h"

#include "DeviceNames.h"
#include "Inflate.h"
#include "OwnedHandle.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// The cabinet format's header flags and folder compressions.
constexpr std::uint16_t kPreviousCabinet = 0x0001;
constexpr std::uint16_t kNextCabinet = 0x0002;
constexpr std::uint16_t kReservePresent = 0x0004;
constexpr std::uint16_t kCompressionMask = 0x000F;
constexpr std::uint16_t kNoCompression = 0;
constexpr std::uint16_t kMsZip = 1;
// A member's folder index at or above this continues from or into another cabinet.
constexpr std::uint16_t kContinued = 0xFFFD;
// The format's version (1.3) and the sizes of its fixed parts.
constexpr std::uint8_t kMajorVersion = 1;
constexpr std::uint64_t kHeaderBytes = 36;
constexpr std::uint64_t kFolderBytes = 8;
constexpr std::uint64_t kMemberBytes = 16;
constexpr std::uint64_t kBlockBytes = 8;
// An MSZIP block's deflate stream follows these two bytes.
constexpr char kMsZipSignature[] = {'C', 'K'};

// Reads the CAB's bytes within bounds.
class Reader
{
public:
    explicit Reader(const std::vector<char>& bytes) : bytes_(bytes) {}

    template <typename T>
    bool Read(std::uint64_t at, T& value) const
    {
        if (at > bytes_.size() || bytes_.size() - at < sizeof(T))
            return false;
        std::memcpy(&value, bytes_.data() + at, sizeof(T));
        return true;
    }

    // A NUL-terminated name at, and where it ends.
    bool Name(std::uint64_t at, std::string& name, std::uint64_t& next) const
    {
        for (std::uint64_t end = at; end < bytes_.size() && end - at < 256; ++end) {
            if (bytes_[end] == '\0') {
                name.assign(bytes_.data() + at, end - at);
                next = end + 1;
                return true;
            }
        }
        return false;
    }

    // count bytes at, or null where they are not all there.
    const std::uint8_t* Bytes(std::uint64_t at, std::uint64_t count) const
    {
        if (at > bytes_.size() || bytes_.size() - at < count)
            return nullptr;
        return reinterpret_cast<const std::uint8_t*>(bytes_.data() + at);
    }

private:
    const std::vector<char>& bytes_;
};

struct Folder
{
    std::uint32_t dataAt = 0;
    std::uint16_t blocks = 0;
    std::uint16_t compression = 0;
};

struct Member
{
    std::wstring name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
};

// What the CAB's tables say: its folders, its members, and the reserved
// bytes each data block carries.
struct Layout
{
    std::vector<Folder> folders;
    std::vector<Member> members;
    std::uint8_t blockReserve = 0;
};

// A member's name, read as UTF-8; empty where its bytes are none.
std::wstring MemberName(const std::string& bytes)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring name(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), name.data(),
        length);
    return name;
}

// Reads the CAB's tables and holds them to the installer's limits.
bool ReadTables(const std::vector<char>& bytes, const std::wstring& cabPath, Layout& layout, std::wstring& error)
{
    const Reader reader(bytes);
    std::uint32_t filesAt = 0;
    std::uint16_t folders = 0, files = 0, flags = 0;
    std::uint8_t major = 0;
    if (!reader.Read(16, filesAt) || !reader.Read(25, major) || !reader.Read(26, folders) ||
        !reader.Read(28, files) || !reader.Read(30, flags)) {
        error = cabPath + L" is cut short";
        return false;
    }
    if (major != kMajorVersion) {
        error = cabPath + L" cannot be unpacked: it is a CAB of an unknown version";
        return false;
    }
    if (flags & (kPreviousCabinet | kNextCabinet)) {
        error = cabPath + L" is one of a set of cabinets, which the installer does not take";
        return false;
    }
    if (files > cabinet::kMaxMembers) {
        error = cabPath + L" holds " + std::to_wstring(files) + L" members, more than the installer's " +
                std::to_wstring(cabinet::kMaxMembers);
        return false;
    }
    std::uint64_t at = kHeaderBytes;
    std::uint8_t folderReserve = 0;
    if (flags & kReservePresent) {
        std::uint16_t headerReserve = 0;
        if (!reader.Read(36, headerReserve) || !reader.Read(38, folderReserve) ||
            !reader.Read(39, layout.blockReserve)) {
            error = cabPath + L" is cut short";
            return false;
        }
        at = kHeaderBytes + 4 + std::uint64_t{headerReserve};
    }
    for (std::uint16_t f = 0; f < folders; ++f, at += kFolderBytes + folderReserve) {
        Folder folder;
        if (!reader.Read(at, folder.dataAt) || !reader.Read(at + 4, folder.blocks) ||
            !reader.Read(at + 6, folder.compression)) {
            error = cabPath + L" is cut short";
            return false;
        }
        const std::uint16_t type = folder.compression & kCompressionMask;
        if (type != kNoCompression && type != kMsZip) {
            error = cabPath + L" is compressed in a way the installer does not take (only MSZIP or none)";
            return false;
        }
        layout.folders.push_back(folder);
    }
    std::uint64_t total = 0;
    at = filesAt;
    for (std::uint16_t f = 0; f < files; ++f) {
        Member member;
        std::string name;
        if (!reader.Read(at, member.size) || !reader.Read(at + 4, member.offset) ||
            !reader.Read(at + 8, member.folder) || !reader.Name(at + kMemberBytes, name, at)) {
            error = cabPath + L" is cut short or damaged";
            return false;
        }
        if (member.folder >= kContinued || member.folder >= folders) {
            error = cabPath + L" holds a member in another cabinet or in no folder";
            return false;
        }
        total += member.size;
        if (member.size > cabinet::kMaxMemberBytes || total > cabinet::kMaxUnpackedBytes) {
            error = cabPath + L" holds more than the installer unpacks (" +
                    std::to_wstring(cabinet::kMaxMemberBytes >> 20) + L" MB a member, " +
                    std::to_wstring(cabinet::kMaxUnpackedBytes >> 20) + L" MB in all)";
            return false;
        }
        member.name = MemberName(name);
        if (!IsPlainName(member.name)) {
            error = L"the CAB holds a member whose name is no plain file name: " + member.name;
            return false;
        }
        layout.members.push_back(member);
    }
    return true;
}

// The cabinet format's checksum of a data block, over its bytes and then
// its two sizes.
std::uint32_t Checksum(const std::uint8_t* bytes, std::uint64_t count, std::uint32_t seed)
{
    std::uint32_t sum = seed;
    for (; count >= 4; count -= 4, bytes += 4)
        sum ^= bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    std::uint32_t rest = 0;
    switch (count) {
    case 3:
        rest |= static_cast<std::uint32_t>(*bytes++) << 16;
        [[fallthrough]];
    case 2:
        rest |= static_cast<std::uint32_t>(*bytes++) << 8;
        [[fallthrough]];
    case 1:
        rest |= *bytes;
        break;
    default:
        break;
    }
    return sum ^ rest;
}

// A folder's data blocks, unpacked one after another, to no more than
// budget bytes in all.
bool UnpackFolder(const std::vector<char>& bytes, const Folder& folder, std::uint8_t blockReserve,
    std::uint64_t& budget, std::vector<std::uint8_t>& unpacked, std::wstring& error)
{
    const Reader reader(bytes);
    std::uint64_t at = folder.dataAt;
    for (std::uint16_t b = 0; b < folder.blocks; ++b) {
        std::uint32_t sum = 0;
        std::uint16_t packed = 0, size = 0;
        if (!reader.Read(at, sum) || !reader.Read(at + 4, packed) || !reader.Read(at + 6, size)) {
            error = L"a data block is cut short";
            return false;
        }
        const std::uint8_t* data = reader.Bytes(at + kBlockBytes + blockReserve, packed);
        if (!data) {
            error = L"a data block is cut short";
            return false;
        }
        if (sum != 0) {
            const std::uint8_t sizes[] = {static_cast<std::uint8_t>(packed), static_cast<std::uint8_t>(packed >> 8),
                static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8)};
            if (Checksum(sizes, sizeof sizes, Checksum(data, packed, 0)) != sum) {
                error = L"a data block's checksum does not match its bytes";
                return false;
            }
        }
        if (size > budget) {
            error = L"its data unpacks to more than the installer unpacks";
            return false;
        }
        budget -= size;
        if ((folder.compression & kCompressionMask) == kNoCompression) {
            if (packed != size) {
                error = L"an uncompressed data block's sizes differ";
                return false;
            }
            unpacked.insert(unpacked.end(), data, data + size);
        } else {
            std::wstring why;
            if (packed < sizeof kMsZipSignature || std::memcmp(data, kMsZipSignature, sizeof kMsZipSignature) != 0) {
                error = L"an MSZIP data block lacks its signature";
                return false;
            }
            if (!cabinet::Inflate(data + sizeof kMsZipSignature, packed - sizeof kMsZipSignature, size, unpacked,
                    why)) {
                error = L"an MSZIP data block is damaged: " + why;
                return false;
            }
        }
        at += kBlockBytes + blockReserve + packed;
    }
    return true;
}

bool WriteMember(const std::wstring& folder, const Member& member, const std::uint8_t* data, std::wstring& error)
{
    const UniqueFile file(
        CreateFileW((folder + L"\\" + member.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!file) {
        error = L"the CAB's member " + member.name + L" cannot be unpacked (error " + std::to_wstring(GetLastError()) +
                L"; is it there twice?)";
        return false;
    }
    DWORD written = 0;
    const bool wrote = WriteFile(file.Get(), data, member.size, &written, nullptr) && written == member.size;
    const DWORD failure = GetLastError();
    if (!wrote)
        error = L"the CAB's member " + member.name + L" cannot be written (error " + std::to_wstring(failure) + L")";
    return wrote;
}

std::vector<char> ReadCabinet(const std::wstring& path, std::wstring& error)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        error = L"cannot open " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return {};
    }
    LARGE_INTEGER size = {};
    std::vector<char> bytes;
    if (!GetFileSizeEx(file.Get(), &size)) {
        error = L"cannot read the size of " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    } else if (size.QuadPart > static_cast<LONGLONG>(cabinet::kMaxCabinetBytes)) {
        error = path + L" is larger than the installer takes (" + std::to_wstring(cabinet::kMaxCabinetBytes >> 20) +
                L" MB)";
    } else {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                                  read != bytes.size()))
            error = L"cannot read " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
    }
    return bytes;
}

} // namespace

bool UnpackCabinet(const std::wstring& cabPath, const std::wstring& folder, std::wstring& error)
{
    const std::vector<char> bytes = ReadCabinet(cabPath, error);
    if (!error.empty())
        return false;
    // A CAB's header tells its whole size: one that is shorter was cut.
    std::uint32_t declared = 0;
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), "MSCF", 4) != 0) {
        error = cabPath + L" is not a CAB";
        return false;
    }
    std::memcpy(&declared, bytes.data() + 8, sizeof declared);
    if (bytes.size() < declared) {
        error = cabPath + L" is cut short: " + std::to_wstring(bytes.size()) + L" of its " + std::to_wstring(declared) +
                L" bytes";
        return false;
    }
    Layout layout;
    if (!ReadTables(bytes, cabPath, layout, error))
        return false;
    std::uint64_t budget = cabinet::kMaxUnpackedBytes;
    for (std::size_t f = 0; f < layout.folders.size(); ++f) {
        std::vector<std::uint8_t> unpacked;
        bool unpackedYet = false;
        for (const Member& member : layout.members) {
            if (member.folder != f)
                continue;
            if (!unpackedYet) {
                if (!UnpackFolder(bytes, layout.folders[f], layout.blockReserve, budget, unpacked, error)) {
                    error = cabPath + L" cannot be unpacked: " + error;
                    return false;
                }
                unpackedYet = true;
            }
            if (member.offset > unpacked.size() || unpacked.size() - member.offset < member.size) {
                error = cabPath + L" cannot be unpacked: its member " + member.name + L" lies past its folder's data";
                return false;
            }
            if (!WriteMember(folder, member, unpacked.data() + member.offset, error))
                return false;
        }
    }
    return true;
}

#include "Cabinet.h"

#include "DeviceNames.h"
#include "Utf8.h"

#include <windows.h>

#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
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

private:
    const std::vector<char>& bytes_;
};

// Holds the CAB's tables to the installer's limits.
bool CheckTables(const std::vector<char>& bytes, const std::wstring& cabPath, std::wstring& error)
{
    const Reader reader(bytes);
    std::uint32_t filesAt = 0;
    std::uint16_t folders = 0, files = 0, flags = 0;
    if (!reader.Read(16, filesAt) || !reader.Read(26, folders) ||
        !reader.Read(28, files) || !reader.Read(30, flags)) {
        error = cabPath + L" is cut short";
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
    std::uint64_t at = 36;
    std::uint8_t folderReserve = 0;
    if (flags & kReservePresent) {
        std::uint16_t headerReserve = 0;
        if (!reader.Read(36, headerReserve) || !reader.Read(38, folderReserve)) {
            error = cabPath + L" is cut short";
            return false;
        }
        at = 40 + std::uint64_t{headerReserve};
    }
    for (std::uint16_t f = 0; f < folders; ++f, at += 8 + folderReserve) {
        std::uint16_t compression = 0;
        if (!reader.Read(at + 6, compression)) {
            error = cabPath + L" is cut short";
            return false;
        }
        const std::uint16_t type = compression & kCompressionMask;
        if (type != kNoCompression && type != kMsZip) {
            error = cabPath + L" is compressed in a way the installer does not take (only MSZIP or none)";
            return false;
        }
    }
    std::uint64_t total = 0;
    at = filesAt;
    for (std::uint16_t f = 0; f < files; ++f) {
        std::uint32_t size = 0;
        std::uint16_t folder = 0;
        std::string name;
        if (!reader.Read(at, size) || !reader.Read(at + 8, folder) || !reader.Name(at + 16, name, at)) {
            error = cabPath + L" is cut short or damaged";
            return false;
        }
        if (folder >= kContinued || folder >= folders) {
            error = cabPath + L" holds a member in another cabinet or in no folder";
            return false;
        }
        total += size;
        if (size > cabinet::kMaxMemberBytes || total > cabinet::kMaxUnpackedBytes) {
            error = cabPath + L" holds more than the installer unpacks (" +
                    std::to_wstring(cabinet::kMaxMemberBytes >> 20) + L" MB a member, " +
                    std::to_wstring(cabinet::kMaxUnpackedBytes >> 20) + L" MB in all)";
            return false;
        }
    }
    return true;
}

// The cabinet library names files in 8-bit text: UTF-8 here.
std::wstring Wide(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
    return wide;
}

INT_PTR AsFile(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(handle);
}

HANDLE AsHandle(INT_PTR file)
{
    return reinterpret_cast<HANDLE>(file);
}

FNALLOC(Allocate)
{
    return std::malloc(cb);
}

FNFREE(Release)
{
    std::free(pv);
}

// The cabinet itself is the only file the library opens: to read.
FNOPEN(OpenFile)
{
    (void)pmode;
    if (oflag & (_O_WRONLY | _O_RDWR | _O_CREAT))
        return -1;
    return AsFile(CreateFileW(Wide(pszFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
        nullptr));
}

FNREAD(ReadFromFile)
{
    DWORD read = 0;
    return ReadFile(AsHandle(hf), pv, cb, &read, nullptr) ? read : static_cast<UINT>(-1);
}

FNWRITE(WriteToFile)
{
    DWORD written = 0;
    return WriteFile(AsHandle(hf), pv, cb, &written, nullptr) ? written : static_cast<UINT>(-1);
}

FNCLOSE(CloseFile)
{
    return CloseHandle(AsHandle(hf)) ? 0 : -1;
}

FNSEEK(SeekFile)
{
    const DWORD method = seektype == SEEK_SET ? FILE_BEGIN : seektype == SEEK_CUR ? FILE_CURRENT : FILE_END;
    const DWORD at = SetFilePointer(AsHandle(hf), dist, nullptr, method);
    return at == INVALID_SET_FILE_POINTER ? -1 : static_cast<long>(at);
}

struct Unpacking
{
    std::wstring folder;
    std::wstring error;
    unsigned members = 0;
    std::uint64_t bytes = 0;
};

FNFDINOTIFY(Notify)
{
    auto* unpacking = static_cast<Unpacking*>(pfdin->pv);
    switch (fdint) {
    case fdintCOPY_FILE: {
        const std::wstring name = Wide(pfdin->psz1);
        if (!IsPlainName(name)) {
            unpacking->error = L"the CAB holds a member whose name is no plain file name: " + name;
            return -1;
        }
        // The tables said as much; the data must say no more.
        unpacking->bytes += static_cast<std::uint64_t>(pfdin->cb);
        if (++unpacking->members > cabinet::kMaxMembers || pfdin->cb > static_cast<long>(cabinet::kMaxMemberBytes) ||
            unpacking->bytes > cabinet::kMaxUnpackedBytes) {
            unpacking->error = L"the CAB holds more than the installer unpacks";
            return -1;
        }
        const HANDLE file = CreateFileW((unpacking->folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
            CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            unpacking->error = L"the CAB's member " + name + L" cannot be unpacked (error " +
                               std::to_wstring(GetLastError()) + L"; is it there twice?)";
            return -1;
        }
        return AsFile(file);
    }
    case fdintCLOSE_FILE_INFO:
        CloseHandle(AsHandle(pfdin->hf));
        return TRUE;
    case fdintNEXT_CABINET:
        // A set of cabinets was refused before; a cabinet named here is never opened.
        unpacking->error = L"the CAB asks for a next cabinet";
        return -1;
    default:
        return 0;
    }
}

const wchar_t* Problem(int code)
{
    switch (code) {
    case FDIERROR_CABINET_NOT_FOUND:
        return L"it cannot be read";
    case FDIERROR_NOT_A_CABINET:
        return L"it is not a CAB";
    case FDIERROR_UNKNOWN_CABINET_VERSION:
        return L"it is a CAB of an unknown version";
    case FDIERROR_BAD_COMPR_TYPE:
        return L"it is compressed in a way the installer does not know";
    case FDIERROR_MDI_FAIL:
        return L"its compressed data is damaged";
    default:
        return L"it is cut short or damaged";
    }
}

std::vector<char> ReadCabinet(const std::wstring& path, std::wstring& error)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = L"cannot open " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return {};
    }
    LARGE_INTEGER size = {};
    std::vector<char> bytes;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(cabinet::kMaxCabinetBytes)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                                  read != bytes.size()))
            bytes.clear();
    } else {
        error = path + L" is larger than the installer takes (" +
                std::to_wstring(cabinet::kMaxCabinetBytes >> 20) + L" MB)";
    }
    CloseHandle(file);
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
    if (bytes.size() < 36 || std::memcmp(bytes.data(), "MSCF", 4) != 0) {
        error = cabPath + L" is not a CAB";
        return false;
    }
    std::memcpy(&declared, bytes.data() + 8, sizeof declared);
    if (bytes.size() < declared) {
        error = cabPath + L" is cut short: " + std::to_wstring(bytes.size()) + L" of its " + std::to_wstring(declared) +
                L" bytes";
        return false;
    }
    if (!CheckTables(bytes, cabPath, error))
        return false;

    ERF erf = {};
    const HFDI fdi = FDICreate(Allocate, Release, OpenFile, ReadFromFile, WriteToFile, CloseFile, SeekFile,
        cpuUNKNOWN, &erf);
    if (!fdi) {
        error = L"the cabinet library cannot start";
        return false;
    }
    const size_t slash = cabPath.find_last_of(L'\\');
    std::string name = Utf8(cabPath.substr(slash + 1)), path = Utf8(cabPath.substr(0, slash + 1));
    Unpacking unpacking{folder, L""};
    const BOOL copied = FDICopy(fdi, name.data(), path.data(), 0, Notify, nullptr, &unpacking);
    FDIDestroy(fdi);
    if (!copied) {
        error = !unpacking.error.empty() ? unpacking.error : cabPath + L" cannot be unpacked: " + Problem(erf.erfOper);
        return false;
    }
    return true;
}

#include "Cabinet.h"

#include "Utf8.h"

#include <windows.h>

#include <fcntl.h>
#include <fdi.h>

#include <cstdlib>
#include <cstring>

namespace {

// The cabinet library names files in 8-bit text: UTF-8 here.
std::wstring Wide(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length - 1 : 0), L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
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
};

// A member's name is a plain file name: no folder, no way out of one.
bool IsPlainName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

FNFDINOTIFY(Notify)
{
    auto* unpacking = static_cast<Unpacking*>(pfdin->pv);
    switch (fdint) {
    case fdintCOPY_FILE: {
        const std::wstring name = Wide(pfdin->psz1);
        if (!IsPlainName(name)) {
            unpacking->error = L"the CAB holds a member whose name is a path: " + name;
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

} // namespace

bool UnpackCabinet(const std::wstring& cabPath, const std::wstring& folder, std::wstring& error)
{
    // A CAB's header tells its whole size: one that is shorter was cut.
    const HANDLE cab = CreateFileW(cabPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (cab == INVALID_HANDLE_VALUE) {
        error = L"cannot open " + cabPath + L" (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    char header[12] = {};
    DWORD read = 0;
    LARGE_INTEGER size = {};
    const bool headerRead = ReadFile(cab, header, sizeof header, &read, nullptr) && read == sizeof header;
    GetFileSizeEx(cab, &size);
    CloseHandle(cab);
    if (!headerRead || std::memcmp(header, "MSCF", 4) != 0) {
        error = cabPath + L" is not a CAB";
        return false;
    }
    DWORD declared = 0;
    std::memcpy(&declared, header + 8, sizeof declared);
    if (size.QuadPart < declared) {
        error = cabPath + L" is cut short: " + std::to_wstring(size.QuadPart) + L" of its " +
                std::to_wstring(declared) + L" bytes";
        return false;
    }

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

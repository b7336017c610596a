#include "Imports.h"

#include "ImportArgs.h"
#include "Thunks.h"

#include <aygshell.h>
#include <commctrl.h>
#include <commdlg.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace armce {

namespace {

using namespace arg;
using Sent = Checked<GuestArg::kValue>;       // a message's parameter: the message table's business
using Text = Checked<GuestArg::kString>;
using Record = Checked<GuestArg::kRecordInOut>;
using Buffer = Checked<GuestArg::kBytesOut>;
using Source = Checked<GuestArg::kBytesIn>;
using Resource = Checked<GuestArg::kHandle>;  // a resource of the module's own image
using Kernel = Checked<GuestArg::kOwned>;     // a kernel handle the module opened

template <typename F, typename... Kinds>
constexpr std::uint8_t Count()
{
    return static_cast<std::uint8_t>(std::size(Forward<F, Kinds...>::kParams) - 1);
}

// A row of ImportTable.inc made an entry of the table.
#define FORWARD(library, name, ...)                                                                            \
    Import{library, #name, &Forward<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>::Call,                       \
        Forward<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>::kParams,                                        \
        Count<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>(), false},
#define THUNK(library, text, name, type, blocking, ...)                                                        \
    Import{library, text, &thunk::name, Forward<type, __VA_ARGS__>::kParams, Count<type, __VA_ARGS__>(),       \
        blocking},
#define SPECIAL(library, name, type, ...) THUNK(library, #name, name, type, false, __VA_ARGS__)
#define BLOCKING(library, name, type, ...) THUNK(library, #name, name, type, true, __VA_ARGS__)

constexpr const char kCore[] = "coredll.dll";

// The desktop spells some with a W, or a variable argument list.
using SendMessageTimeoutType = decltype(&::SendMessageTimeoutW);
using WsprintfType = int (*)(LPWSTR, LPCWSTR);
using ChooseColorType = BOOL(WINAPI*)(LPCHOOSECOLOR);
using MallocType = void* (*)(size_t);
using FreeType = void (*)(void*);
using MemcpyType = void* (*)(void*, const void*, size_t);
using MemsetType = void* (*)(void*, int, size_t);
using WcscpyType = wchar_t* (*)(wchar_t*, const wchar_t*);

const Import kImports[] = {
#include "ImportTable.inc"
};

constexpr std::size_t kCount = std::size(kImports);

std::wstring Wide(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

} // namespace

const Import* Imports()
{
    return kImports;
}

std::size_t ImportCount()
{
    return kCount;
}

bool FindImport(const std::string& library, const std::string& name, std::size_t& index)
{
    for (std::size_t i = 0; i < kCount; ++i) {
        if (library == kImports[i].library && name == kImports[i].name) {
            index = i;
            return true;
        }
    }
    return false;
}

FARPROC HostFunction(std::size_t index)
{
    // Resolved once, as a static: every call of an import looks here, and
    // this toolchain's std::call_once costs a thread-local and a lock a look.
    static const std::array<FARPROC, kCount> functions = [] {
        std::array<FARPROC, kCount> resolved = {};
        for (std::size_t i = 0; i < kCount; ++i)
            if (HMODULE library = LoadLibraryW(Wide(kImports[i].library).c_str()))
                resolved[i] = GetProcAddress(library, kImports[i].name);
        return resolved;
    }();
    return index < kCount ? functions[index] : nullptr;
}

} // namespace armce

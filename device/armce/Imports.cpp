#include "Imports.h"

#include "ImportArgs.h"
#include "Thunks.h"

#include <aygshell.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <mutex>

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

// One line an import: its library, its name, and its parameters' kinds in
// order. SPECIAL names its type and has a thunk of its own that checks them;
// BLOCKING marks a call that waits for the user.
#define FORWARD(library, name, ...)                                                                            \
    Import                                                                                                     \
    {                                                                                                          \
        library, #name, &Forward<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>::Call,                          \
            Forward<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>::kParams,                                    \
            Count<decltype(&::name) __VA_OPT__(, ) __VA_ARGS__>(), false                                        \
    }
#define THUNK(library, text, name, type, blocking, ...)                                                        \
    Import                                                                                                     \
    {                                                                                                          \
        library, text, &thunk::name, Forward<type, __VA_ARGS__>::kParams, Count<type, __VA_ARGS__>(), blocking  \
    }
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
    // Registry.
    FORWARD(kCore, RegCloseKey, Owned),
    FORWARD(kCore, RegCreateKeyExW, Key, ChangedSubKey<kMaxName>, Ignored, StringOpt<kMaxName>, Value, Value, Ignored,
        HandleOut, OutOpt<DWORD>),
    FORWARD(kCore, RegDeleteKeyW, Key, ChangedSubKey<kMaxName>),
    FORWARD(kCore, RegDeleteValueW, ChangedKey, StringOpt<kMaxName>),
    FORWARD(kCore, RegOpenKeyExW, Key, SubKeyOpt<kMaxName>, Ignored, Value, HandleOut),
    SPECIAL(kCore, RegQueryValueExW, decltype(&::RegQueryValueExW), Key, Text, Ignored, Record, Buffer, Record),
    FORWARD(kCore, RegSetValueExW, ChangedKey, StringOpt<kMaxName>, Ignored, Value, InBytes<5>, Value),
    // Time, events, files, processes, debug output.
    FORWARD(kCore, GetLocalTime, Out<SYSTEMTIME>),
    FORWARD(kCore, GetTickCount),
    SPECIAL(kCore, CreateEventW, decltype(&::CreateEventW), Ignored, Value, Value, Text),
    FORWARD(kCore, SetEvent, Owned),
    FORWARD(kCore, ResetEvent, Owned),
    SPECIAL(kCore, WaitForSingleObject, decltype(&::WaitForSingleObject), Kernel, Value),
    SPECIAL(kCore, CloseHandle, decltype(&::CloseHandle), Kernel),
    SPECIAL(kCore, Sleep, decltype(&::Sleep), Value),
    FORWARD(kCore, GetLastError),
    FORWARD(kCore, SetLastError, Value),
    FORWARD(kCore, OutputDebugStringW, StringOpt<kMaxText>),
    SPECIAL(kCore, CreateFileW, decltype(&::CreateFileW), Text, Value, Value, Ignored, Value, Value, Ignored),
    SPECIAL(kCore, CreateProcessW, decltype(&::CreateProcessW), Text, Text, Ignored, Ignored, Ignored, Value,
        Ignored, Text, Record, Record),
    // Modules and resources: the module's own image answers for itself.
    FORWARD(kCore, FindResourceW, Module, NameOrId<kMaxName>, NameOrId<kMaxName>),
    SPECIAL(kCore, LoadResource, decltype(&::LoadResource), Module, Resource),
    SPECIAL(kCore, SizeofResource, decltype(&::SizeofResource), Module, Resource),
    FORWARD(kCore, LoadIconW, ModuleOpt, NameOrId<kMaxName>),
    FORWARD(kCore, DestroyIcon, Owned),
    FORWARD(kCore, DrawIconEx, Dc, Value, Value, GdiObject, Value, Value, Value, GdiObject, Value),
    // Windows.
    SPECIAL(kCore, RegisterClassW, decltype(&::RegisterClassW), Record),
    FORWARD(kCore, UnregisterClassW, NameOrId<kMaxName>, Module),
    SPECIAL(kCore, CreateWindowExW, decltype(&::CreateWindowExW), Value, Text, Text, Value, Value, Value, Value,
        Value, Handle, Handle, Module, Opaque),
    FORWARD(kCore, DestroyWindow, OwnWindow),
    FORWARD(kCore, FindWindowW, StringOpt<256>, StringOpt<kMaxText>),
    SPECIAL(kCore, DefWindowProcW, decltype(&::DefWindowProcW), Handle, Value, Sent, Sent),
    SPECIAL(kCore, SendMessageW, decltype(&::SendMessageW), Handle, Value, Sent, Sent),
    SPECIAL(kCore, SendMessageTimeout, SendMessageTimeoutType, Handle, Value, Sent, Sent, Value, Value, Record),
    SPECIAL(kCore, SendDlgItemMessageW, decltype(&::SendDlgItemMessageW), Handle, Value, Value, Sent, Sent),
    SPECIAL(kCore, PostMessageW, decltype(&::PostMessageW), Handle, Value, Sent, Sent),
    FORWARD(kCore, ShowWindow, OwnWindow, Value),
    FORWARD(kCore, UpdateWindow, Handle),
    FORWARD(kCore, InvalidateRect, Handle, InOpt<RECT>, Value),
    FORWARD(kCore, ValidateRect, OwnWindow, InOpt<RECT>),
    FORWARD(kCore, GetClientRect, Handle, Out<RECT>),
    FORWARD(kCore, GetWindowRect, Handle, Out<RECT>),
    FORWARD(kCore, MoveWindow, OwnWindow, Value, Value, Value, Value, Value),
    FORWARD(kCore, SetWindowPos, OwnWindow, Handle, Value, Value, Value, Value, Value),
    FORWARD(kCore, GetParent, Handle),
    FORWARD(kCore, IsWindow, Handle),
    FORWARD(kCore, GetSystemMetrics, Value),
    FORWARD(kCore, GetDlgItem, Handle, Value),
    FORWARD(kCore, EndDialog, OwnWindow, Value),
    FORWARD(kCore, SetRect, Out<RECT>, Value, Value, Value, Value),
    SPECIAL(kCore, DrawTextW, decltype(&::DrawTextW), Checked<GuestArg::kUsable>, Text, Value, Record, Value),
    BLOCKING(kCore, DialogBoxIndirectParamW, decltype(&::DialogBoxIndirectParamW), Module, Source, Checked<GuestArg::kOwnWindow>,
        Procedure, Opaque),
    SPECIAL(kCore, BeginPaint, decltype(&::BeginPaint), Checked<GuestArg::kOwnWindow>, Record),
    SPECIAL(kCore, EndPaint, decltype(&::EndPaint), Checked<GuestArg::kOwnWindow>, Record),
    FORWARD(kCore, GetDC, OwnWindowOpt),
    FORWARD(kCore, ReleaseDC, Handle, Owned),
    // Drawing.
    FORWARD(kCore, BitBlt, Dc, Value, Value, Value, Value, Dc, Value, Value, Value),
    FORWARD(kCore, CreateCompatibleBitmap, Dc, Value, Value),
    FORWARD(kCore, CreateCompatibleDC, Dc),
    FORWARD(kCore, CreateFontIndirectW, In<LOGFONTW>),
    FORWARD(kCore, CreatePen, Value, Value, Value),
    FORWARD(kCore, CreateSolidBrush, Value),
    FORWARD(kCore, DeleteDC, Owned),
    FORWARD(kCore, DeleteObject, Owned),
    FORWARD(kCore, FillRect, Dc, In<RECT>, Brush),
    SPECIAL(kCore, GetCurrentObject, decltype(&::GetCurrentObject), Dc, Value),
    FORWARD(kCore, GetDeviceCaps, Dc, Value),
    FORWARD(kCore, GetPixel, Dc, Value, Value),
    SPECIAL(kCore, GetStockObject, decltype(&::GetStockObject), Value),
    FORWARD(kCore, LineTo, Dc, Value, Value),
    FORWARD(kCore, MoveToEx, Dc, Value, Value, OutOpt<POINT>),
    SPECIAL(kCore, SelectObject, decltype(&::SelectObject), Dc, GdiObject),
    FORWARD(kCore, SetBkColor, Dc, Value),
    FORWARD(kCore, SetBkMode, Dc, Value),
    FORWARD(kCore, SetTextColor, Dc, Value),
    SPECIAL(kCore, GetObjectW, decltype(&::GetObjectW), Checked<GuestArg::kUsable>, Value, Buffer),
    SPECIAL(kCore, wsprintfW, WsprintfType, Buffer, Text),
    // The C runtime of Windows CE modules: the module's own heap and memory.
    SPECIAL(kCore, malloc, MallocType, Value),
    SPECIAL(kCore, free, FreeType, Buffer),
    SPECIAL(kCore, memcpy, MemcpyType, Buffer, Source, Value),
    SPECIAL(kCore, memset, MemsetType, Buffer, Value, Value),
    SPECIAL(kCore, wcscpy, WcscpyType, Buffer, Text),
    // The shell, the common controls and dialogs.
    SPECIAL("aygshell.dll", SHInitDialog, decltype(&::SHInitDialog), Record),
    SPECIAL("aygshell.dll", SHRecognizeGesture, decltype(&::SHRecognizeGesture), Record),
    FORWARD("commctrl.dll", InitCommonControls),
    BLOCKING("commdlg.dll", ChooseColor, ChooseColorType, Record),
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
    static FARPROC functions[kCount] = {};
    static std::once_flag resolved;
    std::call_once(resolved, [] {
        for (std::size_t i = 0; i < kCount; ++i)
            if (HMODULE library = LoadLibraryW(Wide(kImports[i].library).c_str()))
                functions[i] = GetProcAddress(library, kImports[i].name);
    });
    return index < kCount ? functions[index] : nullptr;
}

} // namespace armce

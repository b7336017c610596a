#include "Bridge.h"

#include "Guest32.h"
#include "GuestMessage.h"

#include <aygshell.h>
#include <commctrl.h>
#include <commdlg.h>
#include <todaycmn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <utility>

namespace armce {

namespace {

std::weak_ptr<Bridge> g_bridge;
std::mutex g_bridgeMutex;

// Calls the host function f with the guest's arguments, each widened as its
// parameter's type asks, and narrows its result for the guest.
template <typename R, typename... A, std::size_t... I>
std::uint32_t Invoke(R (*f)(A...), GuestCall& call, std::index_sequence<I...>)
{
    if constexpr (std::is_void_v<R>) {
        f(FromGuest<A>(call.Arg(static_cast<int>(I)))...);
        return 0;
    } else {
        return ToGuest(f(FromGuest<A>(call.Arg(static_cast<int>(I)))...));
    }
}

template <typename R, typename... A>
GatewayHandler Forward(R (*f)(A...))
{
    return [f](GuestCall& call) { return Invoke(f, call, std::index_sequence_for<A...>()); };
}

template <typename F>
F Host(FARPROC host)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(host));
}

// The import handlers: for each of the device's functions a module may
// import, how its arguments and records cross. Most cross as their types
// say; the others are spelt out.
using MakeHandler = GatewayHandler (*)(FARPROC host, Bridge& bridge);

struct Forwardable
{
    const char* library;
    const char* name;
    MakeHandler make;
};

#define FORWARD(library, name) \
    {library, #name, [](FARPROC host, Bridge&) { return Forward(Host<decltype(&::name)>(host)); }}

// The host's default procedure, handed the host's values of a message the
// bridge turned for the guest.
LRESULT DefaultFor(Bridge& bridge, decltype(&::DefWindowProcW) defaultProc, HWND window, UINT message,
    std::uint32_t wParam, std::uint32_t lParam)
{
    if (const GuestMessage* turned = bridge.Turned(message, wParam, lParam)) {
        turned->CopyBack();
        return defaultProc(window, message, turned->HostWParam(), turned->HostLParam());
    }
    return defaultProc(window, message, FromGuest<WPARAM>(wParam), FromGuest<LPARAM>(lParam));
}

// A message the guest sends: the records it points to, in the host's layout.
LRESULT SendFromGuest(decltype(&::SendMessageW) send, HWND window, UINT message, std::uint32_t wParam,
    std::uint32_t lParam)
{
    if (message == TODAYM_DRAWWATERMARK && lParam) {
        const auto* guest = At<const TODAYDRAWWATERMARKINFO32>(lParam);
        TODAYDRAWWATERMARKINFO host = {FromGuest<HDC>(guest->hdc), guest->rc, FromGuest<HWND>(guest->hwnd)};
        return send(window, message, FromGuest<WPARAM>(wParam), reinterpret_cast<LPARAM>(&host));
    }
    return send(window, message, FromGuest<WPARAM>(wParam), FromGuest<LPARAM>(lParam));
}

// wsprintfW: the guest's variable arguments, each a 32-bit word, widened as
// its conversion reads it (strings as pointers).
std::uint32_t FormatForGuest(decltype(&::wsprintfW) format, GuestCall& call)
{
    const auto* text = At<const wchar_t>(call.Arg(1));
    std::uint64_t values[16] = {};
    int used = 0;
    for (const wchar_t* p = text; *p && used < 16; ++p) {
        if (*p != L'%')
            continue;
        ++p;
        if (*p == L'%')
            continue;
        while (*p && std::wcschr(L"-+#0 123456789.lhI", *p))
            ++p;
        if (!*p)
            break;
        const std::uint32_t word = call.Arg(2 + used);
        values[used++] = (*p == L's' || *p == L'S') ? reinterpret_cast<std::uint64_t>(FromGuest<void*>(word)) : word;
    }
    return ToGuest(format(At<wchar_t>(call.Arg(0)), text, values[0], values[1], values[2], values[3], values[4],
        values[5], values[6], values[7], values[8], values[9], values[10], values[11], values[12], values[13],
        values[14], values[15]));
}

const Forwardable kForwardable[] = {
    // Registry.
    FORWARD("coredll.dll", RegCloseKey),
    FORWARD("coredll.dll", RegDeleteKeyW),
    FORWARD("coredll.dll", RegDeleteValueW),
    FORWARD("coredll.dll", RegQueryValueExW),
    FORWARD("coredll.dll", RegSetValueExW),
    {"coredll.dll", "RegOpenKeyExW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto open = Host<decltype(&::RegOpenKeyExW)>(host);
         return [open](GuestCall& c) {
             HKEY key = nullptr;
             const LONG result = open(FromGuest<HKEY>(c.Arg(0)), FromGuest<LPCWSTR>(c.Arg(1)), c.Arg(2), c.Arg(3), &key);
             if (c.Arg(4))
                 *At<GuestPtr>(c.Arg(4)) = ToGuest(key);
             return ToGuest(result);
         };
     }},
    {"coredll.dll", "RegCreateKeyExW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto create = Host<decltype(&::RegCreateKeyExW)>(host);
         return [create](GuestCall& c) {
             HKEY key = nullptr;
             const LONG result = create(FromGuest<HKEY>(c.Arg(0)), FromGuest<LPCWSTR>(c.Arg(1)), c.Arg(2),
                 FromGuest<LPWSTR>(c.Arg(3)), c.Arg(4), c.Arg(5), nullptr, &key, FromGuest<LPDWORD>(c.Arg(8)));
             if (c.Arg(7))
                 *At<GuestPtr>(c.Arg(7)) = ToGuest(key);
             return ToGuest(result);
         };
     }},
    // Time, events, processes, debug output.
    FORWARD("coredll.dll", GetLocalTime),
    FORWARD("coredll.dll", GetTickCount),
    FORWARD("coredll.dll", CreateEventW),
    FORWARD("coredll.dll", SetEvent),
    FORWARD("coredll.dll", ResetEvent),
    FORWARD("coredll.dll", WaitForSingleObject),
    FORWARD("coredll.dll", CloseHandle),
    FORWARD("coredll.dll", Sleep),
    FORWARD("coredll.dll", GetLastError),
    FORWARD("coredll.dll", SetLastError),
    FORWARD("coredll.dll", OutputDebugStringW),
    FORWARD("coredll.dll", CreateFileW),
    {"coredll.dll", "CreateProcessW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto create = Host<decltype(&::CreateProcessW)>(host);
         return [create](GuestCall& c) {
             STARTUPINFOW startup = {};
             STARTUPINFOW* startupInfo = nullptr;
             if (const auto* guest = At<const STARTUPINFO32>(c.Arg(8)); c.Arg(8)) {
                 startup.cb = sizeof startup;
                 startup.lpDesktop = FromGuest<LPWSTR>(guest->lpDesktop);
                 startup.lpTitle = FromGuest<LPWSTR>(guest->lpTitle);
                 startup.dwX = guest->dwX, startup.dwY = guest->dwY;
                 startup.dwXSize = guest->dwXSize, startup.dwYSize = guest->dwYSize;
                 startup.dwFlags = guest->dwFlags & ~STARTF_USESTDHANDLES;
                 startup.wShowWindow = guest->wShowWindow;
                 startupInfo = &startup;
             }
             PROCESS_INFORMATION process = {};
             // Windows CE takes no security attributes and no environment.
             const BOOL created = create(FromGuest<LPCWSTR>(c.Arg(0)), FromGuest<LPWSTR>(c.Arg(1)), nullptr, nullptr,
                 FALSE, c.Arg(5), nullptr, FromGuest<LPCWSTR>(c.Arg(7)), startupInfo, &process);
             if (auto* guest = At<PROCESS_INFORMATION32>(c.Arg(9)); c.Arg(9)) {
                 guest->hProcess = ToGuest(process.hProcess);
                 guest->hThread = ToGuest(process.hThread);
                 guest->dwProcessId = process.dwProcessId;
                 guest->dwThreadId = process.dwThreadId;
             } else if (created) {
                 CloseHandle(process.hThread);
                 CloseHandle(process.hProcess);
             }
             return ToGuest(created);
         };
     }},
    // Modules and resources: the guest's own image answers for itself.
    FORWARD("coredll.dll", FindResourceW),
    FORWARD("coredll.dll", LoadResource),
    FORWARD("coredll.dll", SizeofResource),
    FORWARD("coredll.dll", LoadIconW),
    FORWARD("coredll.dll", DestroyIcon),
    FORWARD("coredll.dll", DrawIconEx),
    // Windows.
    {"coredll.dll", "RegisterClassW", [](FARPROC host, Bridge& bridge) -> GatewayHandler {
         const auto registerClass = Host<decltype(&::RegisterClassW)>(host);
         Bridge* b = &bridge;
         return [registerClass, b](GuestCall& c) -> std::uint32_t {
             const auto* guest = At<const WNDCLASS32>(c.Arg(0));
             GuestModule* caller = b->Caller();
             if (!guest || !caller)
                 return 0;
             WNDCLASSW wc = {};
             wc.style = guest->style;
             wc.lpfnWndProc = &Bridge::WindowProc;
             wc.cbClsExtra = guest->cbClsExtra;
             wc.cbWndExtra = guest->cbWndExtra;
             wc.hInstance = FromGuest<HINSTANCE>(guest->hInstance);
             wc.hIcon = FromGuest<HICON>(guest->hIcon);
             wc.hCursor = FromGuest<HCURSOR>(guest->hCursor);
             wc.hbrBackground = FromGuest<HBRUSH>(guest->hbrBackground);
             wc.lpszMenuName = FromGuest<LPCWSTR>(guest->lpszMenuName);
             wc.lpszClassName = FromGuest<LPCWSTR>(guest->lpszClassName);
             const ATOM atom = registerClass(&wc);
             if (atom)
                 b->RegisterClass(atom, wc.hInstance ? wc.hInstance : GetModuleHandleW(nullptr), guest->lpfnWndProc);
             return atom;
         };
     }},
    FORWARD("coredll.dll", UnregisterClassW),
    FORWARD("coredll.dll", CreateWindowExW),
    FORWARD("coredll.dll", DestroyWindow),
    {"coredll.dll", "DefWindowProcW", [](FARPROC host, Bridge& bridge) -> GatewayHandler {
         const auto defaultProc = Host<decltype(&::DefWindowProcW)>(host);
         Bridge* b = &bridge;
         return [defaultProc, b](GuestCall& c) {
             return ToGuest(DefaultFor(*b, defaultProc, FromGuest<HWND>(c.Arg(0)), c.Arg(1), c.Arg(2), c.Arg(3)));
         };
     }},
    {"coredll.dll", "SendMessageW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto send = Host<decltype(&::SendMessageW)>(host);
         return [send](GuestCall& c) {
             return ToGuest(SendFromGuest(send, FromGuest<HWND>(c.Arg(0)), c.Arg(1), c.Arg(2), c.Arg(3)));
         };
     }},
    {"coredll.dll", "SendMessageTimeout", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto send = Host<decltype(&::SendMessageTimeoutW)>(host);
         return [send](GuestCall& c) {
             DWORD_PTR result = 0;
             const LRESULT sent = send(FromGuest<HWND>(c.Arg(0)), c.Arg(1), FromGuest<WPARAM>(c.Arg(2)),
                 FromGuest<LPARAM>(c.Arg(3)), c.Arg(4), c.Arg(5), &result);
             if (c.Arg(6))
                 *At<std::uint32_t>(c.Arg(6)) = static_cast<std::uint32_t>(result);
             return ToGuest(sent);
         };
     }},
    {"coredll.dll", "SendDlgItemMessageW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto send = Host<decltype(&::SendDlgItemMessageW)>(host);
         return [send](GuestCall& c) {
             return ToGuest(send(FromGuest<HWND>(c.Arg(0)), FromGuest<int>(c.Arg(1)), c.Arg(2),
                 FromGuest<WPARAM>(c.Arg(3)), FromGuest<LPARAM>(c.Arg(4))));
         };
     }},
    FORWARD("coredll.dll", PostMessageW),
    FORWARD("coredll.dll", ShowWindow),
    FORWARD("coredll.dll", UpdateWindow),
    FORWARD("coredll.dll", InvalidateRect),
    FORWARD("coredll.dll", ValidateRect),
    FORWARD("coredll.dll", GetClientRect),
    FORWARD("coredll.dll", GetWindowRect),
    FORWARD("coredll.dll", MoveWindow),
    FORWARD("coredll.dll", SetWindowPos),
    FORWARD("coredll.dll", GetParent),
    FORWARD("coredll.dll", IsWindow),
    FORWARD("coredll.dll", GetSystemMetrics),
    FORWARD("coredll.dll", GetDlgItem),
    FORWARD("coredll.dll", EndDialog),
    FORWARD("coredll.dll", SetRect),
    FORWARD("coredll.dll", DrawTextW),
    FORWARD("coredll.dll", PostQuitMessage),
    {"coredll.dll", "DialogBoxIndirectParamW", [](FARPROC host, Bridge& bridge) -> GatewayHandler {
         const auto run = Host<decltype(&::DialogBoxIndirectParamW)>(host);
         Bridge* b = &bridge;
         return [run, b](GuestCall& c) -> std::uint32_t {
             b->ExpectDialog(c.Arg(3));
             return ToGuest(run(FromGuest<HINSTANCE>(c.Arg(0)), FromGuest<LPCDLGTEMPLATEW>(c.Arg(1)),
                 FromGuest<HWND>(c.Arg(2)), &Bridge::DialogProc, FromGuest<LPARAM>(c.Arg(4))));
         };
     }},
    {"coredll.dll", "BeginPaint", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto begin = Host<decltype(&::BeginPaint)>(host);
         return [begin](GuestCall& c) -> std::uint32_t {
             PAINTSTRUCT paint = {};
             const HDC dc = begin(FromGuest<HWND>(c.Arg(0)), &paint);
             if (auto* guest = At<PAINTSTRUCT32>(c.Arg(1))) {
                 guest->hdc = ToGuest(paint.hdc);
                 guest->fErase = paint.fErase;
                 guest->rcPaint = paint.rcPaint;
                 guest->fRestore = paint.fRestore;
                 guest->fIncUpdate = paint.fIncUpdate;
             }
             return ToGuest(dc);
         };
     }},
    {"coredll.dll", "EndPaint", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto end = Host<decltype(&::EndPaint)>(host);
         return [end](GuestCall& c) -> std::uint32_t {
             const auto* guest = At<const PAINTSTRUCT32>(c.Arg(1));
             if (!guest)
                 return ToGuest(end(FromGuest<HWND>(c.Arg(0)), nullptr));
             PAINTSTRUCT paint = {};
             paint.hdc = FromGuest<HDC>(guest->hdc);
             paint.fErase = guest->fErase;
             paint.rcPaint = guest->rcPaint;
             paint.fRestore = guest->fRestore;
             paint.fIncUpdate = guest->fIncUpdate;
             return ToGuest(end(FromGuest<HWND>(c.Arg(0)), &paint));
         };
     }},
    FORWARD("coredll.dll", GetDC),
    FORWARD("coredll.dll", ReleaseDC),
    // Drawing.
    FORWARD("coredll.dll", BitBlt),
    FORWARD("coredll.dll", CreateCompatibleBitmap),
    FORWARD("coredll.dll", CreateCompatibleDC),
    FORWARD("coredll.dll", CreateFontIndirectW),
    FORWARD("coredll.dll", CreatePen),
    FORWARD("coredll.dll", CreateSolidBrush),
    FORWARD("coredll.dll", DeleteDC),
    FORWARD("coredll.dll", DeleteObject),
    FORWARD("coredll.dll", FillRect),
    FORWARD("coredll.dll", GetCurrentObject),
    FORWARD("coredll.dll", GetDeviceCaps),
    FORWARD("coredll.dll", GetPixel),
    FORWARD("coredll.dll", GetStockObject),
    FORWARD("coredll.dll", LineTo),
    FORWARD("coredll.dll", MoveToEx),
    FORWARD("coredll.dll", SelectObject),
    FORWARD("coredll.dll", SetBkColor),
    FORWARD("coredll.dll", SetBkMode),
    FORWARD("coredll.dll", SetTextColor),
    {"coredll.dll", "GetObjectW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto get = Host<decltype(&::GetObjectW)>(host);
         return [get](GuestCall& c) -> std::uint32_t {
             const HGDIOBJ object = FromGuest<HGDIOBJ>(c.Arg(0));
             const int size = FromGuest<int>(c.Arg(1));
             void* buffer = At<void>(c.Arg(2));
             switch (GetObjectType(object)) {
             case OBJ_BITMAP: {
                 BITMAP bitmap = {};
                 if (!buffer)
                     return sizeof(BITMAP32);
                 if (size < static_cast<int>(sizeof(BITMAP32)) || !get(object, sizeof bitmap, &bitmap))
                     return 0;
                 *static_cast<BITMAP32*>(buffer) = {bitmap.bmType, bitmap.bmWidth, bitmap.bmHeight,
                     bitmap.bmWidthBytes, bitmap.bmPlanes, bitmap.bmBitsPixel, ToGuest(bitmap.bmBits)};
                 return sizeof(BITMAP32);
             }
             case OBJ_BRUSH: {
                 LOGBRUSH brush = {};
                 if (!buffer)
                     return sizeof(LOGBRUSH32);
                 if (size < static_cast<int>(sizeof(LOGBRUSH32)) || !get(object, sizeof brush, &brush))
                     return 0;
                 *static_cast<LOGBRUSH32*>(buffer) = {brush.lbStyle, brush.lbColor,
                     static_cast<GuestPtr>(brush.lbHatch)};
                 return sizeof(LOGBRUSH32);
             }
             default:
                 return ToGuest(get(object, size, buffer));
             }
         };
     }},
    {"coredll.dll", "wsprintfW", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto format = Host<decltype(&::wsprintfW)>(host);
         return [format](GuestCall& c) { return FormatForGuest(format, c); };
     }},
    // The C runtime of Windows CE modules.
    {"coredll.dll", "malloc", [](FARPROC host, Bridge&) { return Forward(Host<void* (*)(size_t)>(host)); }},
    {"coredll.dll", "free", [](FARPROC host, Bridge&) { return Forward(Host<void (*)(void*)>(host)); }},
    {"coredll.dll", "memcpy", [](FARPROC host, Bridge&) {
         return Forward(Host<void* (*)(void*, const void*, size_t)>(host));
     }},
    {"coredll.dll", "memset", [](FARPROC host, Bridge&) { return Forward(Host<void* (*)(void*, int, size_t)>(host)); }},
    {"coredll.dll", "wcscpy", [](FARPROC host, Bridge&) {
         return Forward(Host<wchar_t* (*)(wchar_t*, const wchar_t*)>(host));
     }},
    // The shell, the common controls and dialogs.
    {"aygshell.dll", "SHInitDialog", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto init = Host<decltype(&::SHInitDialog)>(host);
         return [init](GuestCall& c) -> std::uint32_t {
             const auto* guest = At<const SHINITDLGINFO32>(c.Arg(0));
             if (!guest)
                 return ToGuest(init(nullptr));
             SHINITDLGINFO info = {guest->dwMask, FromGuest<HWND>(guest->hDlg), guest->dwFlags};
             return ToGuest(init(&info));
         };
     }},
    {"aygshell.dll", "SHRecognizeGesture", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto recognize = Host<decltype(&::SHRecognizeGesture)>(host);
         return [recognize](GuestCall& c) -> std::uint32_t {
             const auto* guest = At<const SHRGINFO32>(c.Arg(0));
             if (!guest || guest->cbSize != sizeof(SHRGINFO32))
                 return 0;
             SHRGINFO info = {sizeof(SHRGINFO), FromGuest<HWND>(guest->hwndClient), guest->ptDown, guest->dwFlags};
             return ToGuest(recognize(&info));
         };
     }},
    FORWARD("commctrl.dll", InitCommonControls),
    {"commdlg.dll", "ChooseColor", [](FARPROC host, Bridge&) -> GatewayHandler {
         const auto choose = Host<BOOL(WINAPI*)(LPCHOOSECOLOR)>(host);
         return [choose](GuestCall& c) -> std::uint32_t {
             auto* guest = At<CHOOSECOLOR32>(c.Arg(0));
             // A hook would be guest code the colour chooser cannot call.
             if (!guest || guest->lStructSize != sizeof(CHOOSECOLOR32) || guest->lpfnHook)
                 return FALSE;
             CHOOSECOLOR chooser = {};
             chooser.lStructSize = sizeof chooser;
             chooser.hwndOwner = FromGuest<HWND>(guest->hwndOwner);
             chooser.hInstance = FromGuest<HINSTANCE>(guest->hInstance);
             chooser.rgbResult = guest->rgbResult;
             chooser.lpCustColors = FromGuest<COLORREF*>(guest->lpCustColors);
             chooser.Flags = guest->Flags & ~CC_ENABLEHOOK;
             chooser.lCustData = FromGuest<LPARAM>(guest->lCustData);
             chooser.lpTemplateName = FromGuest<LPCWSTR>(guest->lpTemplateName);
             const BOOL chosen = choose(&chooser);
             if (chosen)
                 guest->rgbResult = chooser.rgbResult;
             return ToGuest(chosen);
         };
     }},
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

std::shared_ptr<Bridge> Bridge::Get(std::wstring& error)
{
    std::lock_guard<std::mutex> lock(g_bridgeMutex);
    if (std::shared_ptr<Bridge> bridge = g_bridge.lock())
        return bridge;
    std::shared_ptr<ArmMachine> machine = ArmMachine::Get(error);
    if (!machine)
        return nullptr;
    std::shared_ptr<Bridge> bridge(new Bridge(machine));
    g_bridge = bridge;
    return bridge;
}

bool Bridge::BindImports(const ArmImage& image, std::wstring& error)
{
    for (const ImportSlot& import : image.Imports()) {
        const std::string library = Lower(import.library);
        if (import.name.empty()) {
            error = L"it imports ordinal " + std::to_wstring(import.ordinal) + L" of " + Wide(import.library) +
                    L", which the device cannot forward";
            return false;
        }
        const std::string key = library + "!" + import.name;
        std::uint32_t gateway = 0;
        if (const auto known = gateways_.find(key); known != gateways_.end()) {
            gateway = known->second;
        } else {
            const auto* entry = std::find_if(std::begin(kForwardable), std::end(kForwardable),
                [&](const Forwardable& f) { return library == f.library && import.name == f.name; });
            HMODULE hostLibrary = entry != std::end(kForwardable) ? LoadLibraryW(Wide(library).c_str()) : nullptr;
            const FARPROC host = hostLibrary ? GetProcAddress(hostLibrary, import.name.c_str()) : nullptr;
            if (!host) {
                error = L"it imports " + Wide(import.name) + L" from " + Wide(import.library) +
                        L", which the device cannot forward";
                return false;
            }
            gateway = machine_->Gateway(entry->make(host, *this));
            if (!gateway) {
                error = L"the ARM processor has no gateway left for " + Wide(import.name);
                return false;
            }
            gateways_[key] = gateway;
        }
        *At<std::uint32_t>(import.slot) = gateway;
    }
    return true;
}

GuestModule* Bridge::Caller() const
{
    return machine_->Current();
}

void Bridge::RegisterClass(ATOM atom, HINSTANCE instance, std::uint32_t procedure)
{
    classes_[{atom, instance}] = procedure;
}

void Bridge::ExpectDialog(std::uint32_t procedure)
{
    expectedDialogs_.push_back(procedure);
}

DLGPROC Bridge::DialogProcedure(std::uint32_t address)
{
    ExpectDialog(address);
    return &Bridge::DialogProc;
}

void Bridge::Attach(GuestModule& module)
{
    modules_.push_back(&module);
}

void Bridge::Detach(const GuestModule& module)
{
    std::erase(modules_, &module);
}

GuestModule* Bridge::Owner(std::uint32_t address) const
{
    for (GuestModule* module : modules_)
        if (address >= module->base && address - module->base < module->size)
            return module;
    return nullptr;
}

const GuestMessage* Bridge::Turned(UINT message, std::uint32_t wParam, std::uint32_t lParam) const
{
    for (auto at = messages_.rbegin(); at != messages_.rend(); ++at)
        if ((*at)->Message() == message && (*at)->GuestWParam() == wParam && (*at)->GuestLParam() == lParam)
            return *at;
    return nullptr;
}

LRESULT Bridge::Run(std::uint32_t procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool dialog)
{
    // A procedure whose module is gone or stopped: the default answer.
    GuestModule* module = Owner(procedure);
    if (!module || module->dead)
        return dialog ? FALSE : DefWindowProcW(window, message, wParam, lParam);
    ArmMachine::Scratch scratch(*machine_);
    const GuestMessage turned(scratch, message, wParam, lParam);
    messages_.push_back(&turned);
    const std::uint32_t result =
        machine_->Call(*module, procedure, {ToGuest(window), message, turned.GuestWParam(), turned.GuestLParam()});
    messages_.pop_back();
    if (module->dead)
        return dialog ? FALSE : DefWindowProcW(window, message, wParam, lParam);
    turned.CopyBack();
    return FromGuest<LRESULT>(result);
}

LRESULT CALLBACK Bridge::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<Bridge> bridge = g_bridge.lock();
    if (!bridge)
        return DefWindowProcW(window, message, wParam, lParam);
    const auto known = bridge->classes_.find({static_cast<ATOM>(GetClassWord(window, GCW_ATOM)),
        reinterpret_cast<HINSTANCE>(GetClassLongPtrW(window, GCLP_HMODULE))});
    if (known == bridge->classes_.end())
        return DefWindowProcW(window, message, wParam, lParam);
    return bridge->Run(known->second, window, message, wParam, lParam, false);
}

INT_PTR CALLBACK Bridge::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<Bridge> bridge = g_bridge.lock();
    if (!bridge)
        return FALSE;
    auto known = bridge->dialogs_.find(dialog);
    if (known == bridge->dialogs_.end()) {
        // The dialog's first message: it is the one expected last.
        if (bridge->expectedDialogs_.empty())
            return FALSE;
        known = bridge->dialogs_.emplace(dialog, bridge->expectedDialogs_.back()).first;
        bridge->expectedDialogs_.pop_back();
    }
    const std::uint32_t procedure = known->second;
    if (message == WM_NCDESTROY)
        bridge->dialogs_.erase(dialog);
    return bridge->Run(procedure, dialog, message, wParam, lParam, true);
}

} // namespace armce

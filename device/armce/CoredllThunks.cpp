// The imports of coredll.dll whose arguments need more than their kinds.
#include "Bridge.h"
#include "DialogTemplate.h"
#include "DevicePaths.h"
#include "Guest32.h"
#include "HostArena.h"
#include "ImportArgs.h"
#include "Messages.h"
#include "Ownership.h"
#include "Thunks.h"

#include <deviceaccounting.h>
#include <devicememory.h>
#include <deviceregistry.h>
#include <devicestart.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace armce::thunk {

namespace {

template <typename F>
F As(FARPROC host)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(host));
}

using SendMessageTimeoutType = decltype(&::SendMessageTimeoutW);

// A wide string the guest handed over (an argument, or a field of a record
// it is argument n of), copied for the host; null where the guest gave none,
// or an id where one may stand for a name; false after a violation.
bool GuestText(GuestCall& call, int n, GuestPtr address, unsigned maxChars, const wchar_t*& text, bool idAllowed = false)
{
    text = nullptr;
    if (!address)
        return true;
    if (IS_INTRESOURCE(address) && idAllowed) {
        text = MAKEINTRESOURCEW(address);
        return true;
    }
    const long length = call.Module().memory.StringLength(address, maxChars);
    if (length < 0)
        return call.Violation(n, address, L"text that does not end within its memory"), false;
    text = HostArena::Copy(GuestMemory::At<const wchar_t>(address), static_cast<std::size_t>(length));
    return text != nullptr;
}

// A kernel object the module opened is its to use and close.
void Keep(GuestModule& module, HANDLE handle)
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        module.kernelHandles.push_back(handle);
}

bool Forget(GuestModule& module, HANDLE handle)
{
    const auto at = std::find(module.kernelHandles.begin(), module.kernelHandles.end(), handle);
    if (at == module.kernelHandles.end())
        return false;
    module.kernelHandles.erase(at);
    return true;
}

// The controls (windows of the platform's classes) a module may have alive
// at once; the device counts the windows of its own classes with its handles.
constexpr std::size_t kMaxControls = 256;

bool RoomForControl(GuestModule& module)
{
    if (module.controls.size() < kMaxControls)
        return true;
    module.controls.erase(std::remove_if(module.controls.begin(), module.controls.end(),
                              [](HWND control) { return !IsWindow(control); }),
        module.controls.end());
    return module.controls.size() < kMaxControls;
}

// A wait that may take no more than the module's time left; false when it
// would have taken longer (the module is then ended).
bool WithinBudget(GuestCall& call, DWORD milliseconds, DWORD& allowed)
{
    const unsigned left = call.Machine().RemainingMilliseconds();
    allowed = std::min<DWORD>(milliseconds, left);
    return milliseconds <= left;
}

// The host function that delivers a message as SendMessageW, PostMessageW
// or DefWindowProcW does.
template <typename Function>
class Sending final : public HostSender
{
public:
    explicit Sending(FARPROC host) : host_(As<Function>(host)) {}
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return host_(window, message, wParam, lParam);
    }

private:
    Function host_;
};

class SendingWithTimeout final : public HostSender
{
public:
    SendingWithTimeout(FARPROC host, UINT flags, UINT timeout)
        : host_(As<SendMessageTimeoutType>(host)), flags_(flags), timeout_(timeout)
    {
    }
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return host_(window, message, wParam, lParam, flags_, timeout_, &answer);
    }
    DWORD_PTR answer = 0;

private:
    SendMessageTimeoutType host_;
    UINT flags_;
    UINT timeout_;
};

// A message to a host window runs as the host's own: what its procedure
// makes is not the module's.
LRESULT SendAsHost(GuestCall& call, HWND window, UINT message, int wParamArg, int lParamArg, HostSender& sender)
{
    const DWORD module = DeviceGuestCall(0);
    bool refused = false;
    const LRESULT result = SendFromGuest(call, window, message, call.Arg(wParamArg), call.Arg(lParamArg), wParamArg,
        lParamArg, sender, refused);
    DeviceGuestCall(module);
    if (refused)
        call.Refuse();
    return result;
}

} // namespace

std::uint32_t RegQueryValueExW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const HKEY key = AsHandle<HKEY>(call.Arg(0));
    if (!GuestKey(call, 0, key))
        return 0;
    const wchar_t* name = nullptr;
    const GuestPtr nameAddress = call.Arg(1);
    if (!GuestText(call, 1, nameAddress, kMaxName, name))
        return 0;
    auto* type = call.Record<DWORD>(3, Access::kWrite, true);
    auto* size = call.Record<DWORD>(5, Access::kWrite, true);
    if (call.Violated())
        return 0;
    // The data's room is what the size says; without a size there is none.
    const GuestPtr dataAddress = call.Arg(4);
    if (dataAddress && !size)
        return call.Violation(5, 0, L"no size for its buffer");
    DWORD room = size ? *size : 0;
    BYTE* data = static_cast<BYTE*>(call.Bytes(4, room, Access::kWrite, true));
    if (call.Violated())
        return 0;
    DWORD hostType = 0;
    const LONG result = As<decltype(&::RegQueryValueExW)>(host)(key, name, nullptr, &hostType, data,
        size ? &room : nullptr);
    if (type)
        *type = hostType;
    if (size)
        *size = room;
    return static_cast<std::uint32_t>(result);
}

std::uint32_t CreateEventW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const wchar_t* name = nullptr;
    if (!GuestText(call, 3, call.Arg(3), kMaxPath, name))
        return 0;
    const HANDLE event = As<decltype(&::CreateEventW)>(host)(nullptr, call.Arg(1), call.Arg(2), name);
    Keep(call.Module(), event);
    return Narrowed(event);
}

namespace {

// The rights that only read a file.
constexpr DWORD kReadingRights =
    GENERIC_READ | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_READ_EA | READ_CONTROL | SYNCHRONIZE;
// The attributes and flags Windows CE's CreateFile takes; the desktop's
// others (backup semantics, reparse points, ...) a module does not get.
constexpr DWORD kDeviceFileFlags = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                   FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_DELETE_ON_CLOSE;

} // namespace

std::uint32_t CreateFileW(GuestCall& call, FARPROC)
{
    const HostArena::Mark mark;
    const long length = call.String(0, kMaxPath, false);
    if (length < 0)
        return 0;
    const std::wstring name(GuestMemory::At<const wchar_t>(call.Arg(0)), static_cast<std::size_t>(length));
    const DWORD access = call.Arg(1), share = call.Arg(2), disposition = call.Arg(4), flags = call.Arg(5);
    // Only the device's own files: a module's paths do not lead out of it,
    // and a file of the ROM is opened to be read, or not at all: any other
    // right, a disposition that makes or changes a file, or its deletion
    // on close is a write, which lands in the store.
    const bool writing = (access & ~kReadingRights) || disposition != OPEN_EXISTING || (flags & FILE_FLAG_DELETE_ON_CLOSE);
    std::wstring path;
    if (!GuestFilePath(name, writing, path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return Narrowed(INVALID_HANDLE_VALUE);
    }
    std::wstring refusal;
    if (writing && call.Module().changes && !call.Module().changes->FileChanging(name, refusal)) {
        call.Violation(0, call.Arg(0), refusal);
        return Narrowed(INVALID_HANDLE_VALUE);
    }
    const HANDLE file = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags & kDeviceFileFlags,
        nullptr);
    Keep(call.Module(), file);
    return Narrowed(file);
}

std::uint32_t CloseHandle(GuestCall& call, FARPROC host)
{
    const HANDLE handle = AsHandle<HANDLE>(call.Arg(0));
    if (!Forget(call.Module(), handle)) {
        call.Refuse();
        return FALSE;
    }
    return Narrowed(As<decltype(&::CloseHandle)>(host)(handle));
}

std::uint32_t WaitForSingleObject(GuestCall& call, FARPROC host)
{
    const HANDLE handle = AsHandle<HANDLE>(call.Arg(0));
    if (!OwnsHandle(call.Module(), handle)) {
        call.Refuse();
        return WAIT_FAILED;
    }
    DWORD allowed = 0;
    const bool inTime = WithinBudget(call, call.Arg(1), allowed);
    const DWORD result = As<decltype(&::WaitForSingleObject)>(host)(handle, allowed);
    if (result == WAIT_TIMEOUT && !inTime)
        call.Machine().Runaway();
    return result;
}

std::uint32_t Sleep(GuestCall& call, FARPROC host)
{
    DWORD allowed = 0;
    const bool inTime = WithinBudget(call, call.Arg(0), allowed);
    As<decltype(&::Sleep)>(host)(allowed);
    if (!inTime)
        call.Machine().Runaway();
    return 0;
}

namespace {

// The environment of a process a module starts: this one's, marked as a
// module's, without the variables the device's programs give each other.
std::vector<wchar_t> ModuleProcessEnvironment()
{
    std::vector<wchar_t> block;
    if (LPWCH strings = GetEnvironmentStringsW()) {
        const std::size_t prefix = std::wcslen(DEVICE_PRIVATE_PREFIX);
        const std::size_t marker = std::wcslen(DEVICE_STARTED_BY_MODULE);
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
            const std::size_t length = std::wcslen(entry);
            if ((length >= prefix && CompareStringOrdinal(entry, static_cast<int>(prefix), DEVICE_PRIVATE_PREFIX,
                                         static_cast<int>(prefix), TRUE) == CSTR_EQUAL) ||
                (length > marker && entry[marker] == L'=' &&
                    CompareStringOrdinal(entry, static_cast<int>(marker), DEVICE_STARTED_BY_MODULE,
                        static_cast<int>(marker), TRUE) == CSTR_EQUAL))
                continue;
            block.insert(block.end(), entry, entry + length + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    const std::wstring mark = std::wstring(DEVICE_STARTED_BY_MODULE) + L"=1";
    block.insert(block.end(), mark.c_str(), mark.c_str() + mark.size() + 1);
    block.push_back(L'\0');
    return block;
}

} // namespace

std::uint32_t CreateProcessW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const wchar_t* image = nullptr;
    const wchar_t* arguments = nullptr;
    const wchar_t* folder = nullptr;
    if (!call.Arg(0))
        return call.Violation(0, 0, L"no program");
    // The folder is read as checked, and then left out: Windows CE has none.
    if (!GuestText(call, 0, call.Arg(0), kMaxPath, image) || !GuestText(call, 1, call.Arg(1), kMaxText, arguments) ||
        !GuestText(call, 7, call.Arg(7), kMaxPath, folder))
        return 0;
    auto* startup = call.Record<STARTUPINFO32>(8, Access::kRead, true);
    auto* information = call.Record<PROCESS_INFORMATION32>(9, Access::kWrite, true);
    if (call.Violated())
        return 0;
    // Only the device's own programs start, from its ROM (the device's
    // process creation takes their device names).
    std::wstring program;
    if (!DeviceProgram(image, program)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::vector<wchar_t> environment = ModuleProcessEnvironment();
    STARTUPINFOW hostStartup = {};
    if (startup) {
        hostStartup.cb = sizeof hostStartup;
        hostStartup.dwX = startup->dwX, hostStartup.dwY = startup->dwY;
        hostStartup.dwXSize = startup->dwXSize, hostStartup.dwYSize = startup->dwYSize;
        hostStartup.dwFlags = startup->dwFlags & ~STARTF_USESTDHANDLES;
        hostStartup.wShowWindow = startup->wShowWindow;
    }
    PROCESS_INFORMATION process = {};
    // Windows CE takes no security attributes, no environment, no handles
    // to inherit and no current folder; of its creation flags the device's
    // programs need none.
    const BOOL created = As<decltype(&::CreateProcessW)>(host)(program.c_str(), const_cast<LPWSTR>(arguments),
        nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr,
        startup ? &hostStartup : nullptr, &process);
    if (!created)
        return FALSE;
    if (information) {
        Keep(call.Module(), process.hProcess);
        Keep(call.Module(), process.hThread);
        *information = {Narrowed(process.hProcess), Narrowed(process.hThread), process.dwProcessId,
            process.dwThreadId};
    } else {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    return TRUE;
}

namespace {

// A resource of the module's own image: one of the data entries its loader
// found in its resource directory. None (a search that failed) finds nothing.
bool OwnResource(GuestCall& call, GuestPtr& resource)
{
    const GuestPtr module = call.Arg(0);
    if (module != call.Module().base)
        return call.Violation(0, module, L"not the module's own instance"), false;
    resource = call.Arg(1);
    if (!resource) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    const std::vector<GuestPtr>& resources = call.Module().resources;
    if (std::find(resources.begin(), resources.end(), resource) == resources.end())
        return call.Violation(1, resource, L"no resource of its image"), false;
    return true;
}

} // namespace

std::uint32_t LoadResource(GuestCall& call, FARPROC host)
{
    GuestPtr resource = 0;
    if (!OwnResource(call, resource))
        return 0;
    return Narrowed(As<decltype(&::LoadResource)>(host)(
        Widened<HMODULE>(call.Module().base, false), Widened<HRSRC>(resource, false)));
}

std::uint32_t SizeofResource(GuestCall& call, FARPROC host)
{
    GuestPtr resource = 0;
    if (!OwnResource(call, resource))
        return 0;
    return As<decltype(&::SizeofResource)>(host)(
        Widened<HMODULE>(call.Module().base, false), Widened<HRSRC>(resource, false));
}

std::uint32_t RegisterClassW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const auto* record = call.Record<WNDCLASS32>(0, Access::kRead, false);
    if (!record)
        return 0;
    const WNDCLASS32 guest = *record;
    GuestModule& module = call.Module();
    if (!module.Holds(guest.lpfnWndProc))
        return call.Violation(0, guest.lpfnWndProc, L"a class whose procedure lies outside its image");
    if (guest.hInstance && guest.hInstance != module.base)
        return call.Violation(0, guest.hInstance, L"a class of another module's");
    WNDCLASSW wc = {};
    if (!GuestText(call, 0, guest.lpszClassName, 256, wc.lpszClassName, true) ||
        !GuestText(call, 0, guest.lpszMenuName, 256, wc.lpszMenuName, true))
        return 0;
    if (!wc.lpszClassName)
        return call.Violation(0, guest.lpszClassName, L"a class without a name");
    wc.style = guest.style;
    wc.lpfnWndProc = &Bridge::WindowProc;
    wc.cbClsExtra = guest.cbClsExtra;
    wc.cbWndExtra = guest.cbWndExtra;
    wc.hInstance = Widened<HINSTANCE>(module.base, false);
    wc.hIcon = AsHandle<HICON>(guest.hIcon);
    wc.hCursor = AsHandle<HCURSOR>(guest.hCursor);
    wc.hbrBackground = AsHandle<HBRUSH>(guest.hbrBackground);
    const ATOM atom = As<decltype(&::RegisterClassW)>(host)(&wc);
    if (atom)
        Bridge::Get().RegisterClass(atom, wc.hInstance, guest.lpfnWndProc);
    return atom;
}

std::uint32_t CreateWindowExW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const wchar_t* className = nullptr;
    const wchar_t* title = nullptr;
    if (!call.Arg(1))
        return call.Violation(1, 0, L"no class");
    if (!GuestText(call, 1, call.Arg(1), 256, className, true) || !GuestText(call, 2, call.Arg(2), kMaxText, title))
        return 0;
    GuestModule& module = call.Module();
    const std::uint32_t instance = call.Arg(10);
    if (instance && instance != module.base)
        return call.Violation(10, instance, L"not the module's own instance");
    const HINSTANCE hostInstance = Widened<HINSTANCE>(module.base, false);
    // Its own data reaches its own classes only: another class's procedure
    // would read it as a record of the host's.
    WNDCLASSEXW known = {};
    known.cbSize = sizeof known;
    const ATOM atom = static_cast<ATOM>(GetClassInfoExW(hostInstance, className, &known));
    const bool ownClass = Bridge::Get().IsGuestClass(atom, hostInstance);
    const HWND parent = AsHandle<HWND>(call.Arg(8));
    // A window of its own class goes when the module stops; one of the
    // platform's goes with the module's window it is made in.
    if (!ownClass && !OwnsWindow(module, parent))
        return call.Violation(8, call.Arg(8), L"a control outside its own windows");
    if (parent && IsGuestWindow(parent) && !OwnsWindow(module, parent))
        return call.Violation(8, call.Arg(8), L"a window of another module's");
    if (!ownClass && !RoomForControl(module))
        return call.Violation(1, call.Arg(1), L"more than " + std::to_wstring(kMaxControls) + L" controls alive");
    const LPVOID parameter = ownClass ? Widened<LPVOID>(call.Arg(11), false) : nullptr;
    const HWND window = As<decltype(&::CreateWindowExW)>(host)(call.Arg(0), className, title, call.Arg(3),
        static_cast<int>(call.Arg(4)), static_cast<int>(call.Arg(5)), static_cast<int>(call.Arg(6)),
        static_cast<int>(call.Arg(7)), parent, AsHandle<HMENU>(call.Arg(9)), hostInstance, parameter);
    if (window && !ownClass)
        module.controls.push_back(window);
    return Narrowed(window);
}

std::uint32_t DefWindowProcW(GuestCall& call, FARPROC host)
{
    const HWND window = AsHandle<HWND>(call.Arg(0));
    const UINT message = call.Arg(1);
    const auto proc = As<decltype(&::DefWindowProcW)>(host);
    const GuestMessage* turned = Bridge::Get().Turned(window, message, call.Arg(2), call.Arg(3));
    // The platform's own system input for the module's window: a Today item
    // has no caption nor menu to act on, and its top-level window is not its.
    if (turned && IsSystemAction(message))
        return 0;
    if (turned) {
        turned->CopyBack();
        const LRESULT result = proc(window, message, turned->HostWParam(), turned->HostLParam());
        turned->Refresh(result);
        return Narrowed(result);
    }
    Sending<decltype(&::DefWindowProcW)> sender(host);
    bool refused = false;
    const LRESULT result = SendFromGuest(call, window, message, call.Arg(2), call.Arg(3), 2, 3, sender, refused);
    return Narrowed(result);
}

std::uint32_t SendMessageW(GuestCall& call, FARPROC host)
{
    Sending<decltype(&::SendMessageW)> sender(host);
    return Narrowed(SendAsHost(call, AsHandle<HWND>(call.Arg(0)), call.Arg(1), 2, 3, sender));
}

std::uint32_t SendMessageTimeout(GuestCall& call, FARPROC host)
{
    auto* answer = call.Record<std::uint32_t>(6, Access::kWrite, true);
    if (call.Violated())
        return 0;
    SendingWithTimeout sender(host, call.Arg(4), call.Arg(5));
    const LRESULT sent = SendAsHost(call, AsHandle<HWND>(call.Arg(0)), call.Arg(1), 2, 3, sender);
    if (answer)
        *answer = Narrowed(sender.answer);
    return Narrowed(sent);
}

std::uint32_t SendDlgItemMessageW(GuestCall& call, FARPROC)
{
    const HWND item = GetDlgItem(AsHandle<HWND>(call.Arg(0)), static_cast<int>(call.Arg(1)));
    if (!item)
        return 0;
    Sending<decltype(&::SendMessageW)> sender(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&::SendMessageW)));
    return Narrowed(SendAsHost(call, item, call.Arg(2), 3, 4, sender));
}

std::uint32_t PostMessageW(GuestCall& call, FARPROC host)
{
    const HWND window = AsHandle<HWND>(call.Arg(0));
    const UINT message = call.Arg(1);
    // A pointer cannot wait in a queue.
    const MessageRule* rule = RuleToHost(message, window);
    if (rule && rule->layout) {
        call.Refuse();
        return FALSE;
    }
    Sending<decltype(&::PostMessageW)> sender(host);
    return Narrowed(SendAsHost(call, window, message, 2, 3, sender));
}

std::uint32_t DialogBoxIndirectParamW(GuestCall& call, FARPROC host)
{
    GuestModule& module = call.Module();
    if (call.Arg(0) != module.base)
        return call.Violation(0, call.Arg(0), L"not the module's own instance");
    if (!OwnsWindow(module, AsHandle<HWND>(call.Arg(2))))
        return call.Violation(2, call.Arg(2), L"an owner not its own");
    // No template (a resource that could not be found) makes no dialog.
    if (!call.Arg(1)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<std::uint32_t>(-1);
    }
    std::vector<DWORD> dialog;
    if (!CopyDialogTemplate(module.memory, call.Arg(1), dialog))
        return call.Violation(1, call.Arg(1), L"no dialog template that ends within its memory");
    const GuestPtr procedure = call.Arg(3);
    if (!module.Holds(procedure))
        return call.Violation(3, procedure, L"a dialog procedure outside its image");
    const DLGPROC hostProcedure = Bridge::Get().DialogProcedure(module, procedure);
    return Narrowed(As<decltype(&::DialogBoxIndirectParamW)>(host)(Widened<HINSTANCE>(module.base, false),
        reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), AsHandle<HWND>(call.Arg(2)), hostProcedure,
        static_cast<LPARAM>(call.Arg(4))));
}

std::uint32_t BeginPaint(GuestCall& call, FARPROC host)
{
    if (!OwnsWindow(call.Module(), AsHandle<HWND>(call.Arg(0))))
        return call.Violation(0, call.Arg(0), L"a window not its own");
    auto* guest = call.Record<PAINTSTRUCT32>(1, Access::kWrite, false);
    if (!guest)
        return 0;
    PAINTSTRUCT paint = {};
    const HDC dc = As<decltype(&::BeginPaint)>(host)(AsHandle<HWND>(call.Arg(0)), &paint);
    guest->hdc = Narrowed(paint.hdc);
    guest->fErase = paint.fErase;
    guest->rcPaint = paint.rcPaint;
    guest->fRestore = paint.fRestore;
    guest->fIncUpdate = paint.fIncUpdate;
    return Narrowed(dc);
}

std::uint32_t EndPaint(GuestCall& call, FARPROC host)
{
    if (!OwnsWindow(call.Module(), AsHandle<HWND>(call.Arg(0))))
        return call.Violation(0, call.Arg(0), L"a window not its own");
    const auto* guest = call.Record<PAINTSTRUCT32>(1, Access::kRead, false);
    if (!guest)
        return 0;
    PAINTSTRUCT paint = {};
    paint.hdc = AsHandle<HDC>(guest->hdc);
    paint.fErase = guest->fErase;
    paint.rcPaint = guest->rcPaint;
    paint.fRestore = guest->fRestore;
    paint.fIncUpdate = guest->fIncUpdate;
    return Narrowed(As<decltype(&::EndPaint)>(host)(AsHandle<HWND>(call.Arg(0)), &paint));
}

std::uint32_t DrawTextW(GuestCall& call, FARPROC host)
{
    if (!GuestDc(call, 0))
        return 0;
    const HostArena::Mark mark;
    const int count = static_cast<int>(call.Arg(2));
    long length = count;
    if (count < 0) {
        length = call.String(1, kMaxText, false);
        if (length < 0)
            return 0;
    } else if (!call.Bytes(1, static_cast<std::uint32_t>(count) * sizeof(wchar_t), Access::kRead, count == 0)) {
        if (call.Violated())
            return 0;
    }
    auto* rect = call.Record<RECT>(3, Access::kWrite, false);
    if (!rect)
        return 0;
    const wchar_t* text =
        length ? HostArena::Copy(GuestMemory::At<const wchar_t>(call.Arg(1)), static_cast<std::size_t>(length)) : L"";
    if (!text)
        return 0;
    RECT bounds = *rect;
    // The guest's text is never written back into.
    const int height = As<decltype(&::DrawTextW)>(host)(AsHandle<HDC>(call.Arg(0)), text, static_cast<int>(length),
        &bounds, call.Arg(4) & ~DT_MODIFYSTRING);
    *rect = bounds;
    return static_cast<std::uint32_t>(height);
}

std::uint32_t SelectObject(GuestCall& call, FARPROC host)
{
    const HDC dc = AsHandle<HDC>(call.Arg(0));
    const HGDIOBJ object = AsHandle<HGDIOBJ>(call.Arg(1));
    if (!GuestDc(call, 0) || !GuestObject(call, 1))
        return 0;
    const HGDIOBJ previous = As<decltype(&::SelectObject)>(host)(dc, object);
    // What it took out is its to put back.
    HandOver(call.Module(), previous);
    return Narrowed(previous);
}

std::uint32_t GetCurrentObject(GuestCall& call, FARPROC host)
{
    const HDC dc = AsHandle<HDC>(call.Arg(0));
    if (!GuestDc(call, 0))
        return 0;
    const HGDIOBJ current = As<decltype(&::GetCurrentObject)>(host)(dc, call.Arg(1));
    HandOver(call.Module(), current);
    return Narrowed(current);
}

std::uint32_t GetStockObject(GuestCall& call, FARPROC host)
{
    const HGDIOBJ stock = As<decltype(&::GetStockObject)>(host)(static_cast<int>(call.Arg(0)));
    HandOver(call.Module(), stock);
    return Narrowed(stock);
}

namespace {

using GetObjectFunction = decltype(&::GetObjectW);

bool CopyBitmap(HGDIOBJ object, GetObjectFunction get, void* guest)
{
    BITMAP bitmap = {};
    if (!get(object, sizeof bitmap, &bitmap))
        return false;
    *static_cast<BITMAP32*>(guest) = {bitmap.bmType, bitmap.bmWidth, bitmap.bmHeight, bitmap.bmWidthBytes,
        bitmap.bmPlanes, bitmap.bmBitsPixel, 0};
    return true;
}

bool CopyBrush(HGDIOBJ object, GetObjectFunction get, void* guest)
{
    LOGBRUSH brush = {};
    if (!get(object, sizeof brush, &brush))
        return false;
    *static_cast<LOGBRUSH32*>(guest) = {brush.lbStyle, brush.lbColor, static_cast<GuestPtr>(brush.lbHatch)};
    return true;
}

// A record the same on both sides.
template <typename T>
bool CopyAsIs(HGDIOBJ object, GetObjectFunction get, void* guest)
{
    T record = {};
    if (get(object, sizeof record, &record) != static_cast<int>(sizeof record))
        return false;
    std::memcpy(guest, &record, sizeof record);
    return true;
}

// The objects GetObjectW describes to a module: each record's size in the
// guest's layout, and its copy into that layout.
const struct
{
    DWORD type;
    std::uint32_t guestSize;
    bool (*copy)(HGDIOBJ object, GetObjectFunction get, void* guest);
} kObjectRecords[] = {
    {OBJ_BITMAP, sizeof(BITMAP32), CopyBitmap},
    {OBJ_BRUSH, sizeof(LOGBRUSH32), CopyBrush},
    {OBJ_FONT, sizeof(LOGFONTW), CopyAsIs<LOGFONTW>},
    {OBJ_PEN, sizeof(LOGPEN), CopyAsIs<LOGPEN>},
};

} // namespace

std::uint32_t GetObjectW(GuestCall& call, FARPROC host)
{
    const HGDIOBJ object = AsHandle<HGDIOBJ>(call.Arg(0));
    if (!GuestObject(call, 0))
        return 0;
    const DWORD type = GetObjectType(object);
    const auto record = std::find_if(std::begin(kObjectRecords), std::end(kObjectRecords),
        [&](const auto& known) { return known.type == type; });
    if (record == std::end(kObjectRecords))
        return 0;
    if (!call.Arg(2))
        return record->guestSize;
    if (static_cast<int>(call.Arg(1)) < static_cast<int>(record->guestSize))
        return 0;
    void* buffer = call.Bytes(2, record->guestSize, Access::kWrite, false);
    if (!buffer || !record->copy(object, As<GetObjectFunction>(host), buffer))
        return 0;
    return record->guestSize;
}

namespace {

// What wsprintf writes at most, and the values the host's call is handed.
constexpr std::uint32_t kFormatLimit = 1024;
constexpr int kFormatValues = 16;
// No field of a 1024-character result is wider.
constexpr unsigned kMaxField = 1024;

// A conversion of wsprintf's format, as its documentation gives it:
// %[-][#][0][width][.precision][h|l|I64]type, and what it takes.
struct Conversion
{
    enum Takes
    {
        kNumber,     // d i u x X, a character c C, and p
        kNumber64,   // I64 d i u x X: two words
        kWideText,   // s, ls, lS
        kNarrowText, // S, hs, hS
    };
    Takes takes = kNumber;
};

// The format as the host is handed it, built without allocating: a
// conversion grows by at most its own length ("%p" becomes "%08X").
class HostFormat
{
public:
    HostFormat() { chars_[0] = L'\0'; }
    void Append(const wchar_t* text, std::size_t length)
    {
        std::wmemcpy(chars_ + size_, text, length);
        size_ += length;
        chars_[size_] = L'\0';
    }
    void Append(wchar_t c) { Append(&c, 1); }
    std::size_t Size() const { return size_; }
    void Truncate(std::size_t size) { chars_[size_ = size] = L'\0'; }
    const wchar_t* Text() const { return chars_; }

private:
    wchar_t chars_[2 * kFormatLimit + 1]; // up to size_ and its end
    std::size_t size_ = 0;
};

bool OneOf(wchar_t c, const wchar_t* set)
{
    return c && std::wcschr(set, c);
}

// Digits at at, read on; false for a number past any field.
bool SkipNumber(const wchar_t* format, long length, long& at)
{
    unsigned number = 0;
    for (; at < length && format[at] >= L'0' && format[at] <= L'9'; ++at)
        if ((number = number * 10 + static_cast<unsigned>(format[at] - L'0')) > kMaxField)
            return false;
    return true;
}

// The conversion after the '%' at, and where it ends, appended to host as
// the host's wsprintf takes it; false for one that wsprintf does not take.
bool ReadConversion(const wchar_t* format, long length, long& at, Conversion& conversion, HostFormat& host)
{
    const long start = at;
    while (at < length && OneOf(format[at], L"-#0"))
        ++at;
    if (!SkipNumber(format, length, at))
        return false;
    if (at < length && format[at] == L'.' && !SkipNumber(format, length, ++at))
        return false;
    // Flags, width and precision as they stand; the rest as the host's
    // wsprintf takes it for what it is handed.
    const std::size_t begun = host.Size();
    host.Append(L'%');
    host.Append(format + start, static_cast<std::size_t>(at - start));
    wchar_t size = 0;
    if (at < length && OneOf(format[at], L"hl")) {
        size = format[at++];
    } else if (length - at >= 3 && format[at] == L'I' && format[at + 1] == L'6' && format[at + 2] == L'4') {
        size = L'I';
        at += 3;
    }
    if (at >= length)
        return false;
    const wchar_t type = format[at++];
    if (OneOf(type, L"diuxX")) {
        conversion.takes = size == L'I' ? Conversion::kNumber64 : Conversion::kNumber;
        if (size == L'I')
            host.Append(L"I64", 3);
        host.Append(type);
    } else if (size == L'I') {
        return false;
    } else if (OneOf(type, L"cC")) {
        conversion.takes = Conversion::kNumber;
        if (size)
            host.Append(size);
        host.Append(type);
    } else if (OneOf(type, L"sS")) {
        const bool narrow = size == L'h' || (type == L'S' && size != L'l');
        conversion.takes = narrow ? Conversion::kNarrowText : Conversion::kWideText;
        host.Append(L"ls", 2);
    } else if (type == L'p' && !size) {
        // A device's pointer: eight hexadecimal digits.
        conversion.takes = Conversion::kNumber;
        host.Truncate(begun);
        host.Append(L"%08X", 4);
    } else {
        return false;
    }
    return true;
}

// A guest's 8-bit text of at most kFormatLimit characters, as wide text for
// the host; false after a violation.
bool NarrowGuestText(GuestCall& call, int n, GuestPtr address, const wchar_t*& text)
{
    text = nullptr;
    if (!address)
        return true;
    const std::uint32_t readable = std::min<std::uint32_t>(call.Module().memory.ReadableFrom(address), kFormatLimit + 1);
    const auto* bytes = GuestMemory::At<const char>(address);
    const auto* end = readable ? static_cast<const char*>(std::memchr(bytes, 0, readable)) : nullptr;
    if (!end)
        return call.Violation(n, address, L"text that does not end within its memory"), false;
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(end - bytes), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(length) + 1);
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(end - bytes), wide.data(), length);
    text = HostArena::Copy(wide.data(), static_cast<std::size_t>(length));
    return text != nullptr;
}

} // namespace

// The guest's format is parsed whole before the host sees any of it: every
// conversion one wsprintf takes (any other ends the module), each argument
// taken as its conversion says, and the host handed the format as it was
// parsed, so that it converts exactly what was forwarded.
std::uint32_t wsprintfW(GuestCall& call, FARPROC host)
{
    const HostArena::Mark mark;
    const long formatLength = call.String(1, kFormatLimit, false);
    if (formatLength < 0)
        return 0;
    const auto* format = GuestMemory::At<const wchar_t>(call.Arg(1));
    HostFormat parsed;
    std::uint64_t values[kFormatValues] = {};
    int used = 0;
    int word = 2;
    for (long at = 0; at < formatLength;) {
        if (format[at] != L'%') {
            parsed.Append(format[at++]);
            continue;
        }
        if (++at < formatLength && format[at] == L'%') {
            parsed.Append(L"%%", 2);
            ++at;
            continue;
        }
        Conversion conversion;
        if (!ReadConversion(format, formatLength, at, conversion, parsed))
            return call.Violation(1, call.Arg(1), L"a format with a conversion wsprintf does not take");
        if (used == kFormatValues)
            return call.Violation(1, call.Arg(1),
                L"a format of more than " + std::to_wstring(kFormatValues) + L" conversions");
        const std::uint32_t argument = call.Arg(word++);
        if (call.Violated())
            return 0;
        switch (conversion.takes) {
        case Conversion::kNumber:
            values[used++] = argument;
            break;
        case Conversion::kNumber64: {
            const std::uint32_t high = call.Arg(word++);
            if (call.Violated())
                return 0;
            values[used++] = argument | std::uint64_t{high} << 32;
            break;
        }
        case Conversion::kWideText:
        case Conversion::kNarrowText: {
            const wchar_t* text = nullptr;
            if (!(conversion.takes == Conversion::kWideText ? GuestText(call, word - 1, argument, kFormatLimit, text)
                                                            : NarrowGuestText(call, word - 1, argument, text)))
                return 0;
            values[used++] = reinterpret_cast<std::uint64_t>(text ? text : L"(null)");
            break;
        }
        }
    }
    wchar_t text[kFormatLimit + 1];
    const int written = As<decltype(&::wsprintfW)>(host)(text, parsed.Text(), values[0], values[1], values[2],
        values[3], values[4], values[5], values[6], values[7], values[8], values[9], values[10], values[11],
        values[12], values[13], values[14], values[15]);
    if (written < 0)
        return 0;
    void* buffer = call.Bytes(0, static_cast<std::uint32_t>(written + 1) * sizeof(wchar_t), Access::kWrite, false);
    if (!buffer)
        return 0;
    std::memcpy(buffer, text, static_cast<std::size_t>(written + 1) * sizeof(wchar_t));
    return static_cast<std::uint32_t>(written);
}

std::uint32_t malloc(GuestCall& call, FARPROC)
{
    return Narrowed(DeviceHeapAlloc(call.Module().heap, call.Arg(0)));
}

std::uint32_t free(GuestCall& call, FARPROC)
{
    const GuestPtr block = call.Arg(0);
    if (!DeviceHeapFree(call.Module().heap, Widened<void*>(block, false)))
        return call.Violation(0, block, L"no block of its heap");
    return 0;
}

std::uint32_t memcpy(GuestCall& call, FARPROC)
{
    const std::uint32_t size = call.Arg(2);
    void* target = call.Bytes(0, size, Access::kWrite, size == 0);
    const void* source = call.Bytes(1, size, Access::kRead, size == 0);
    if (call.Violated())
        return 0;
    if (size)
        std::memmove(target, source, size);
    return call.Arg(0);
}

std::uint32_t memset(GuestCall& call, FARPROC)
{
    const std::uint32_t size = call.Arg(2);
    void* target = call.Bytes(0, size, Access::kWrite, size == 0);
    if (call.Violated())
        return 0;
    if (size)
        std::memset(target, static_cast<int>(call.Arg(1)), size);
    return call.Arg(0);
}

std::uint32_t wcscpy(GuestCall& call, FARPROC)
{
    const long length = call.String(1, call.Module().memory.ReadableFrom(call.Arg(1)) / 2, false);
    if (length < 0)
        return 0;
    const auto bytes = static_cast<std::uint32_t>(length + 1) * sizeof(wchar_t);
    void* target = call.Bytes(0, bytes, Access::kWrite, false);
    if (!target)
        return 0;
    std::memmove(target, GuestMemory::At<const void>(call.Arg(1)), bytes);
    return call.Arg(0);
}

} // namespace armce::thunk

#include "DeviceProgram.h"

#include "DevicePath.h"
#include "DeviceRoot.h"
#include "Utf8.h"

#include <deviceplatform.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>

using Microsoft::WRL::ComPtr;

namespace deviceprogram {

namespace {

constexpr wchar_t kItemsKey[] = L"Software\\Microsoft\\Today\\Items";

} // namespace

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring CeBuildFile(const std::string& relative)
{
    const char* folder = std::getenv("MESOLUNE_CE_DIR");
    if (!folder || !*folder)
        return L"";
    const std::string path = std::string(folder) + "/" + relative;
    return DevicePath(std::wstring(path.begin(), path.end()));
}

namespace {

HANDLE Start(const std::wstring& program, const std::wstring& arguments, HANDLE output, DWORD& id)
{
    const std::wstring path = program.find(L'\\') == std::wstring::npos ? BinFolder() + program : program;
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
    }
    PROCESS_INFORMATION process = {};
    // The desktop's own entry: a test may link the device library, whose
    // process creation takes Windows CE's arguments.
    const auto createProcess = reinterpret_cast<decltype(&CreateProcessW)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateProcessW")));
    // Wine reports a child that died before it had started, as on a busy
    // machine now and then, as an internal error: it is started again.
    constexpr int kStarts = 5;
    for (int start = 1;; ++start) {
        std::wstring writable = commandLine;
        if (createProcess(path.c_str(), writable.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                &startup, &process))
            break;
        const DWORD error = GetLastError();
        std::fprintf(stderr, "cannot start %ls (error %lu)%s\n", path.c_str(), error,
            error == ERROR_INTERNAL_ERROR && start < kStarts ? ", starting it again" : "");
        if (error != ERROR_INTERNAL_ERROR || start == kStarts)
            return nullptr;
    }
    CloseHandle(process.hThread);
    id = process.dwProcessId;
    return process.hProcess;
}

struct WindowSearch
{
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

RunningProgram::RunningProgram(const std::wstring& program, const std::wstring& arguments, HANDLE output)
    : name_(Utf8(program + L" " + arguments))
{
    process_ = Start(program, arguments, output, id_);
}

RunningProgram::~RunningProgram()
{
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

HWND RunningProgram::WaitForWindow(DWORD timeoutMs) const
{
    if (!process_)
        return nullptr;
    WindowSearch search{id_, nullptr};
    waiting::Until(
        [&] {
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        "a shown window of " + name_, timeoutMs);
    return search.found;
}

int RunningProgram::WaitForExit(DWORD timeoutMs)
{
    DWORD exitCode = static_cast<DWORD>(-1);
    if (process_ &&
        waiting::Until([&] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, name_ + " to end",
            timeoutMs))
        GetExitCodeProcess(process_, &exitCode);
    return static_cast<int>(exitCode);
}

int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs)
{
    RunningProgram running(program, arguments);
    return running.WaitForExit(timeoutMs);
}

int RunProgram(const std::wstring& program, const std::wstring& arguments, std::string& output, DWORD timeoutMs)
{
    const TempFile file(L".out");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE handle = CreateFileW(file.Path().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    int exitCode = -1;
    {
        RunningProgram running(program, arguments, handle);
        exitCode = running.WaitForExit(timeoutMs);
    }
    output.clear();
    SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0)
        output.append(buffer, read);
    CloseHandle(handle);
    return exitCode;
}

HWND AwaitWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = nullptr;
    const std::string what = "a shown window" + (className ? " of class " + Utf8(className) : std::string()) +
                             (title ? " titled \"" + Utf8(title) + "\"" : std::string());
    waiting::Until(
        [&] {
            // A dialog shows only once its WM_INITDIALOG has run.
            found = FindWindowW(className, title);
            return found && IsWindowVisible(found);
        },
        what, timeoutMs);
    return found && IsWindowVisible(found) ? found : nullptr;
}

void WriteTextFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void MakeFolders(const std::wstring& path)
{
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

TempFile::TempFile(const std::wstring& suffix)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    // Two made in one tick have names of their own.
    static unsigned made = 0;
    path_ = std::wstring(folder) + L"mesolune-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++made) + suffix;
}

TempFile::~TempFile()
{
    DeleteFileW(path_.c_str());
}

PlatformOfTheRun::PlatformOfTheRun(const wchar_t* name)
{
    wchar_t value[64] = {};
    const DWORD length = GetEnvironmentVariableW(DEVICE_PLATFORM_VARIABLE, value, 64);
    had_ = length > 0 && length < 64;
    before_ = had_ ? value : L"";
    SetEnvironmentVariableW(DEVICE_PLATFORM_VARIABLE, name);
}

PlatformOfTheRun::~PlatformOfTheRun()
{
    SetEnvironmentVariableW(DEVICE_PLATFORM_VARIABLE, had_ ? before_.c_str() : nullptr);
}

TodayItemsOverride::TodayItemsOverride()
{
    HKEY items = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kItemsKey, 0, KEY_READ, &items) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(items, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            Item item{name, {}};
            HKEY key = nullptr;
            if (RegOpenKeyExW(items, name, 0, KEY_READ, &key) == ERROR_SUCCESS) {
                for (DWORD v = 0;; ++v) {
                    wchar_t valueName[256];
                    DWORD valueLength = 256, type = 0, size = 0;
                    if (RegEnumValueW(key, v, valueName, &valueLength, nullptr, &type, nullptr, &size) !=
                        ERROR_SUCCESS)
                        break;
                    Value value{valueName, type, std::vector<BYTE>(size)};
                    valueLength = 256;
                    RegEnumValueW(key, v, valueName, &valueLength, nullptr, &type, value.data.data(), &size);
                    item.values.push_back(value);
                }
                RegCloseKey(key);
            }
            saved_.push_back(item);
        }
        RegCloseKey(items);
    }
    RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemsKey);
}

TodayItemsOverride::~TodayItemsOverride()
{
    RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemsKey);
    for (const Item& item : saved_) {
        const std::wstring path = std::wstring(kItemsKey) + L"\\" + item.name;
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                nullptr) != ERROR_SUCCESS)
            continue;
        for (const Value& v : item.values)
            RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
        RegCloseKey(key);
    }
}

void TodayItemsOverride::Add(const std::wstring& name, const std::wstring& dll, DWORD order, DWORD enabled,
    DWORD options, DWORD selectability)
{
    const std::wstring path = std::wstring(kItemsKey) + L"\\" + name;
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExW(key, L"DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
        static_cast<DWORD>((dll.size() + 1) * sizeof(wchar_t)));
    const DWORD type = 4;
    RegSetValueExW(key, L"Order", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&order), 4);
    RegSetValueExW(key, L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled), 4);
    RegSetValueExW(key, L"Options", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&options), 4);
    RegSetValueExW(key, L"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), 4);
    RegSetValueExW(key, L"Selectability", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&selectability), 4);
    RegCloseKey(key);
}

Picture ReadPng(const std::wstring& path)
{
    Picture picture;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
            WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
            WICBitmapPaletteTypeCustom)))
        return picture;
    UINT width = 0, height = 0;
    converter->GetSize(&width, &height);
    std::vector<BYTE> bgra(static_cast<size_t>(width) * height * 4);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data())))
        return picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = RGB(bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4]);
    return picture;
}

} // namespace deviceprogram

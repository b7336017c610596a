// wceload.exe: the device's CAB installer.
//   wceload [/noui] [/nodelete | /delete 0|1] FILE.cab   installs (an upgrade over what is installed)
//   wceload /uninstall NAME                              removes an installed application
// As on a Pocket PC, the CAB is deleted after it is installed unless
// /nodelete or /delete 0 keeps it. One line for each thing to tell.
#include "DevicePath.h"
#include "Installer.h"
#include "Utf8.h"

#include <devicefiles.h>
#include <deviceregistry.h>

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Usage(const std::wstring& problem)
{
    std::fprintf(stderr, "wceload: %s\n", Utf8(problem).c_str());
    std::fprintf(stderr, "usage: wceload [/noui] [/nodelete | /delete 0|1] FILE.cab\n"
                         "       wceload /uninstall NAME\n");
    return 2;
}

// A CAB named by its device path ("\Windows\Mesolune.cab"), by a Unix path,
// or by the desktop's.
std::wstring CabPath(const std::wstring& arg)
{
    wchar_t path[MAX_PATH];
    if (arg.size() > 1 && arg[0] == L'\\' && arg[1] != L'\\' && DeviceFilePath(arg.c_str(), path, MAX_PATH))
        return path;
    return DevicePath(arg);
}

bool SameSwitch(const std::wstring& arg, const wchar_t* name)
{
    return CompareStringOrdinal(arg.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

int main()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::vector<std::wstring> args(argv + (count > 0 ? 1 : 0), argv + count);
    LocalFree(argv);

    std::wstring cab, uninstall;
    bool keepCab = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (SameSwitch(arg, L"/noui") || SameSwitch(arg, L"/silent")) {
            continue; // the installer asks nothing
        } else if (SameSwitch(arg, L"/nodelete")) {
            keepCab = true;
        } else if (SameSwitch(arg, L"/delete")) {
            if (i + 1 >= args.size() || (args[i + 1] != L"0" && args[i + 1] != L"1"))
                return Usage(L"/delete takes 0 or 1");
            keepCab = args[++i] == L"0";
        } else if (SameSwitch(arg, L"/uninstall")) {
            if (i + 1 >= args.size())
                return Usage(L"/uninstall needs the application's name");
            uninstall = args[++i];
        } else if (!arg.empty() && arg[0] == L'/' && arg.find(L'/', 1) == std::wstring::npos && arg.size() < 16) {
            return Usage(L"unknown switch " + arg);
        } else if (cab.empty()) {
            cab = arg;
        } else {
            return Usage(L"one CAB at a time");
        }
    }
    if (cab.empty() == uninstall.empty())
        return Usage(cab.empty() ? L"no CAB to install" : L"a CAB to install or a name to remove, not both");

    // The device's registry and files from here on, for it and the setup
    // library it runs.
    DeviceJoin();
    if (!cab.empty())
        cab = CabPath(cab);
    wchar_t full[MAX_PATH];
    if (!cab.empty() && GetFullPathNameW(cab.c_str(), MAX_PATH, full, nullptr))
        cab = full;
    const Outcome outcome = cab.empty() ? Uninstall(uninstall) : InstallCab(cab);
    for (const std::wstring& line : outcome.lines)
        std::printf("wceload: %s\n", Utf8(line).c_str());
    if (outcome.done && !cab.empty() && !keepCab)
        DeleteFileW(cab.c_str());
    return outcome.done ? 0 : 1;
}

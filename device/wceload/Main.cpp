// wceload.exe: the device's CAB installer.
//   wceload [/noui] [/nodelete | /delete 0|1] FILE.cab   installs (an upgrade over what is installed)
//   wceload /uninstall NAME                              removes an installed application
//   wceload /recover                                     undoes a change left unfinished
// As on a Pocket PC, the CAB is deleted after it is installed unless
// /nodelete or /delete 0 keeps it. One line for each thing to tell.
//
// The installer supervises itself: one installation at a time (a named
// mutex), a change left unfinished (a killed installer) undone first, and
// the work done in a second process of its own, whose end it waits for; a
// setup library that crashes or hangs ends that process, and the
// supervisor undoes what it began.
#include "DevicePath.h"
#include "Installer.h"
#include "Journal.h"
#include "OwnedHandle.h"
#include "TodayScreen.h"
#include "Utf8.h"

#include <devicefiles.h>
#include <deviceregistry.h>
#include <devicestart.h>

#include <windows.h>


#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kWorkerSwitch[] = L"/worker";
constexpr wchar_t kWorkerMark[] = DEVICE_PRIVATE_PREFIX L"INSTALLER_WORKER";
constexpr wchar_t kInstaller[] = L"\\Windows\\wceload.exe";
constexpr wchar_t kInstallerMutex[] = L"MesoluneDeviceInstaller";
// How long another installation may hold the device, and how long one may
// take in all (each setup library call has a time of its own).
constexpr DWORD kWaitForOtherMs = 120000;
constexpr DWORD kWorkerTimeoutMs = 600000;

int Usage(const std::wstring& problem)
{
    std::fprintf(stderr, "wceload: %s\n", Utf8(problem).c_str());
    std::fprintf(stderr, "usage: wceload [/noui] [/nodelete | /delete 0|1] FILE.cab\n"
                         "       wceload /uninstall NAME\n"
                         "       wceload /recover\n");
    return 2;
}

void Say(const std::wstring& line)
{
    std::printf("wceload: %s\n", Utf8(line).c_str());
    std::fflush(stdout);
}

// A CAB named by its device path ("\Windows\Mesolune.cab"), or, when no
// module of the device started the installer, by a Unix path or the
// desktop's.
std::wstring CabPath(const std::wstring& arg)
{
    return CommandLineFile(arg, false);
}

// Whether this process is the worker its supervisor started, which alone
// carries the supervisor's mark (a module's processes never do).
bool StartedBySupervisor()
{
    return GetEnvironmentVariableW(kWorkerMark, nullptr, 0) > 0;
}

// This process's environment, with the mark of the supervisor's worker: the
// event it sets once its work is done and kept, which nothing else it runs
// holds. An exit status is no proof: a worker killed says what its killer
// chose.
std::vector<wchar_t> WorkerEnvironment(HANDLE finished)
{
    std::vector<wchar_t> block;
    if (LPWCH strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1)
            block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
        FreeEnvironmentStringsW(strings);
    }
    const std::wstring mark =
        std::wstring(kWorkerMark) + L"=" + std::to_wstring(reinterpret_cast<std::uintptr_t>(finished));
    block.insert(block.end(), mark.c_str(), mark.c_str() + mark.size() + 1);
    block.push_back(L'\0');
    return block;
}

// The worker's word to its supervisor that what it did is done and kept.
void TellSupervisorFinished()
{
    wchar_t value[32] = {};
    if (!GetEnvironmentVariableW(kWorkerMark, value, static_cast<DWORD>(std::size(value))))
        return;
    SetEvent(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::wcstoull(value, nullptr, 10))));
}

bool SameSwitch(const std::wstring& arg, const wchar_t* name)
{
    return CompareStringOrdinal(arg.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// A setup library built for this processor that crashes ends the worker at
// once, with its one line, for the supervisor to undo.
LONG WINAPI SetupCrashed(EXCEPTION_POINTERS* exception)
{
    Say(L"the installation stopped: a setup library crashed (exception 0x" +
        [&] {
            wchar_t code[16];
            swprintf(code, 16, L"%08X", static_cast<unsigned>(exception->ExceptionRecord->ExceptionCode));
            return std::wstring(code);
        }() +
        L")");
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Undoes a change left unfinished, and says so.
void Recover()
{
    std::wstring appName;
    if (Journal::UndoPending(appName)) {
        Say(L"an unfinished change of " + appName + L" was undone; the device is as it was before it");
        TellTodayScreen();
    }
}

std::wstring Quoted(const std::wstring& arg)
{
    return L"\"" + arg + L"\"";
}

// Runs the work in a process of its own and waits for it: its exit status,
// or, when it ended otherwise than by finishing, after undoing what it began.
int Supervise(const std::vector<std::wstring>& args)
{
    // The device's CreateProcessW takes the arguments alone, as Windows CE's.
    std::wstring commandLine = kWorkerSwitch;
    for (const std::wstring& arg : args)
        commandLine += L" " + Quoted(arg);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // The worker goes with the supervisor, however the supervisor goes.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job)
        SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const UniqueHandle finished(CreateEventW(&inherited, TRUE, FALSE, nullptr));
    PROCESS_INFORMATION started = {};
    std::vector<wchar_t> environment = WorkerEnvironment(finished.Get());
    if (!finished || !CreateProcessW(kInstaller, commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                         &started)) {
        Say(L"cannot start its worker (error " + std::to_wstring(GetLastError()) + L"); nothing was changed");
        return 1;
    }
    const UniqueHandle worker(started.hProcess);
    if (job)
        AssignProcessToJobObject(job.Get(), worker.Get());
    ResumeThread(UniqueHandle(started.hThread).Get());
    DWORD exitCode = 1;
    if (WaitForSingleObject(worker.Get(), kWorkerTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(worker.Get(), 1);
        WaitForSingleObject(worker.Get(), INFINITE);
        Say(L"the installation took longer than " + std::to_wstring(kWorkerTimeoutMs / 60000) + L" minutes");
        exitCode = ~0u;
    } else {
        GetExitCodeProcess(worker.Get(), &exitCode);
    }
    // Closing the job ends whatever the worker started and left.
    job.Reset();
    const bool done = WaitForSingleObject(finished.Get(), 0) == WAIT_OBJECT_0;
    // A change the journal still holds was not finished, whatever the worker's status said.
    std::wstring appName;
    if (Journal::UndoPending(appName)) {
        TellTodayScreen();
        Say(L"the change of " + appName + L" did not finish and was undone; the device is as it was");
        return 1;
    }
    if (done)
        return 0;
    if (exitCode != 1)
        Say(L"the installer's worker ended before it finished (status " + std::to_wstring(exitCode) +
            L"); nothing was changed");
    return 1;
}

} // namespace

int main()
{
    std::vector<std::wstring> args = ProgramArguments();
    const bool worker = !args.empty() && args.front() == kWorkerSwitch;
    if (worker && !StartedBySupervisor())
        return Usage(L"/worker is the installer's own switch");
    if (worker)
        args.erase(args.begin());

    std::wstring cab, uninstall;
    bool keepCab = false, recover = false;
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
        } else if (SameSwitch(arg, L"/recover")) {
            recover = true;
        } else if (!arg.empty() && arg[0] == L'/' && arg.find(L'/', 1) == std::wstring::npos && arg.size() < 16) {
            return Usage(L"unknown switch " + arg);
        } else if (cab.empty()) {
            cab = arg;
        } else {
            return Usage(L"one CAB at a time");
        }
    }
    if (!recover && cab.empty() == uninstall.empty())
        return Usage(cab.empty() ? L"no CAB to install" : L"a CAB to install or a name to remove, not both");

    // The device's registry and files from here on, for it and the setup
    // library it runs.
    DeviceJoin();
    if (!worker) {
        const UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kInstallerMutex));
        const DWORD waited = mutex ? WaitForSingleObject(mutex.Get(), kWaitForOtherMs) : WAIT_FAILED;
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
            Say(L"another installation is under way; nothing was changed");
            return 1;
        }
        Recover();
        const int exitCode = recover ? 0 : Supervise(args);
        ReleaseMutex(mutex.Get());
        return exitCode;
    }

    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(SetupCrashed);
    if (!cab.empty()) {
        const std::wstring path = CabPath(cab);
        if (path.empty()) {
            Say(cab + L" is no file of the device's; nothing was installed");
            return 1;
        }
        cab = path;
    }
    wchar_t full[MAX_PATH];
    if (!cab.empty() && GetFullPathNameW(cab.c_str(), MAX_PATH, full, nullptr))
        cab = full;
    const Outcome outcome = cab.empty() ? Uninstall(uninstall) : InstallCab(cab);
    for (const std::wstring& line : outcome.lines)
        Say(line);
    if (outcome.done && !cab.empty() && !keepCab)
        DeleteFileW(cab.c_str());
    if (outcome.done)
        TellSupervisorFinished();
    return outcome.done ? 0 : 1;
}

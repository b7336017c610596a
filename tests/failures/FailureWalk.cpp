// The failure walk: each scenario the calendar lives through, run once for
// each of the item's fallible calls with that call failing, once and from
// then on. After each run the item must have lived (the walk's process is
// the Today screen's), show the right face at the next refresh once the
// platform answers again, leave nothing behind when unloaded, and have
// stored each setting as it was or as it was to be.
//
//   failure_walk [--stride N]                    walks every scenario, each in a process of its own
//   failure_walk --scenario NAME [--stride N]    walks one, in this process
// With a stride, every N-th failure point of each scenario is walked (the
// first included): make check's bounded walk.
// MESOLUNE_ITEM_ARCH=arm walks the ARM module (ItemUnderTest.h).
#include "DeviceFacts.h"
#include "DeviceProgram.h"
#include "DialogDriver.h"
#include "ItemUnderTest.h"
#include "RegistryFixture.h"
#include "TestHost.h"
#include "resource.h"

#include <deviceclock.h>
#include <devicefailures.h>
#include <devicegesture.h>
#include <todaycmn.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kTop = 26;
// How long the control panel may take to show its page, and to go.
constexpr unsigned long kPageDeadlineMs = 120000;
// The colour dialog's red, green and blue edits.
constexpr int kChooserRed = 706, kChooserGreen = 707, kChooserBlue = 708;
constexpr const wchar_t* kClockKey = L"Software\\Microsoft\\Clock";

// A Friday in January 2027, a month of five weeks before February's four.
SYSTEMTIME Start()
{
    SYSTEMTIME t = {};
    t.wYear = 2027, t.wMonth = 1, t.wDay = 15, t.wHour = 9, t.wMinute = 41;
    return t;
}

// The item under the test host, as the Today screen holds it.
class Item
{
public:
    Item() { host.itemOrigin = POINT{0, kTop}; }
    ~Item() { Unload(); }

    void Load()
    {
        module = itemundertest::Load();
        if (module && !itemundertest::Arm())
            DeviceFailuresFor(reinterpret_cast<HMODULE>(module->Instance()));
    }
    void Initialize()
    {
        record = testhost::ShownItemRecord();
        window = module ? module->Initialize(&record, host.Window()) : nullptr;
    }
    // The host's refresh: the query, the item at its place and height, the
    // paint it may have asked for.
    void Refresh()
    {
        if (!Shown())
            return;
        SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
        SetWindowPos(window, nullptr, 0, kTop, width, static_cast<int>(record.cyp), SWP_NOZORDER);
        UpdateWindow(window);
    }
    void Unload()
    {
        if (Shown())
            DestroyWindow(window);
        window = nullptr;
        module.reset();
        DeviceFailuresFor(nullptr);
    }
    bool Shown() const { return window && IsWindow(window); }
    testhost::Image Face() { return testhost::CaptureWindow(window); }

    testhost::TestHost host;
    std::unique_ptr<ItemModule> module;
    HWND window = nullptr;
    TODAYLISTITEM record = {};
    int width = GetSystemMetrics(SM_CXSCREEN);
};

void Wait(int minutes)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER at = {{file.dwLowDateTime, file.dwHighDateTime}};
    at.QuadPart += static_cast<ULONGLONG>(minutes) * 60 * 10000000;
    file = {at.LowPart, at.HighPart};
    FileTimeToSystemTime(&file, &now);
    SetLocalTime(&now);
}

// A tap or a tap-and-hold of the stylus at a point of the item.
void Press(Item& item, int x, int y, bool hold)
{
    const DWORD answer = hold ? GN_CONTEXTMENU : 0;
    DeviceScriptGestures(&answer, 1);
    SendMessageW(item.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(item.window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    DeviceScriptGestures(nullptr, 0);
}

// The user's part in the options dialog: the week numbers switched, the
// Saturday colour chosen, OK.
void ChangeOptions(dialogdriver::DialogDriver& driver)
{
    driver.Expect([&driver](HWND options, LPARAM) {
        SendMessageW(GetDlgItem(options, IDC_WEEKS), BM_CLICK, 0, 0);
        driver.Expect([](HWND chooser, LPARAM) {
            SetDlgItemInt(chooser, kChooserRed, 200, FALSE);
            SetDlgItemInt(chooser, kChooserGreen, 100, FALSE);
            SetDlgItemInt(chooser, kChooserBlue, 50, FALSE);
            PostMessageW(chooser, WM_COMMAND, IDOK, 0);
        });
        SendMessageW(options, WM_COMMAND, MAKEWPARAM(IDC_SATURDAY_COLOR, BN_CLICKED), 0);
        PostMessageW(options, WM_COMMAND, IDOK, 0);
    });
}

// The control panel a tap on the bell started in this process's life that
// is still running, or null.
HANDLE StartedControlPanel()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return nullptr;
    HANDLE found = nullptr;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiW(entry.szExeFile, L"ctlpnl.exe") == 0)
            found = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// The alarms page a tap on the bell opens (none when the call that failed
// was the one that starts it), waited for however long a busy machine
// takes, and closed again.
void CloseAlarmsPage()
{
    const HANDLE program = StartedControlPanel();
    if (!program)
        return;
    const ULONGLONG start = GetTickCount64();
    HWND page = nullptr;
    while (!page && WaitForSingleObject(program, 20) == WAIT_TIMEOUT && GetTickCount64() - start < kPageDeadlineMs)
        if (HWND shown = FindWindowW(L"#32770", L"Будильники"); shown && IsWindowVisible(shown))
            page = shown;
    if (page)
        PostMessageW(page, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(program, kPageDeadlineMs) != WAIT_OBJECT_0) {
        std::printf("failure walk: the alarms page %s within %lu s\n", page ? "did not close" : "did not show",
            kPageDeadlineMs / 1000);
        TerminateProcess(program, 1);
    }
    CloseHandle(program);
}

struct Scenario
{
    const char* name;
    std::function<void(Item&)> prepare; // what comes before, never failed
    std::function<void(Item&)> act;     // what is walked
};

void Shown(Item& item)
{
    item.Load();
    item.Initialize();
    item.Refresh();
}

const std::vector<Scenario>& Scenarios()
{
    static const std::vector<Scenario> scenarios = {
        {"load and export 240", [](Item& item) { item.Load(); },
            [](Item& item) {
                item.Initialize();
                item.Refresh();
            }},
        {"first refresh", [](Item& item) {
             item.Load();
             item.Initialize();
         },
            [](Item& item) { item.Refresh(); }},
        {"a minute's refresh", Shown,
            [](Item& item) {
                Wait(1);
                item.Refresh();
            }},
        {"paint", Shown,
            [](Item& item) {
                InvalidateRect(item.window, nullptr, TRUE);
                UpdateWindow(item.window);
            }},
        {"month step", Shown,
            [](Item& item) {
                SendMessageW(item.window, WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0);
                item.Refresh();
            }},
        {"width change", Shown,
            [](Item& item) {
                item.width = GetSystemMetrics(SM_CYSCREEN);
                item.Refresh();
            }},
        {"tap on the bell", Shown,
            [](Item& item) {
                Press(item, 4, 4, false);
                CloseAlarmsPage();
                item.Refresh();
            }},
        {"hold into the options and OK", Shown,
            [](Item& item) {
                dialogdriver::DialogDriver driver;
                ChangeOptions(driver);
                Press(item, item.width / 2, 20, true);
                item.Refresh();
            }},
        {"export 241's dialog", Shown,
            [](Item& item) {
                dialogdriver::DialogDriver driver;
                ChangeOptions(driver);
                if (item.module)
                    item.module->RunOptions(item.host.Window());
                item.Refresh();
            }},
        {"unload", Shown, [](Item& item) { item.Unload(); }},
    };
    return scenarios;
}

// The stored settings, value by value.
using Stored = std::vector<testreg::StoredValue>;

Stored StoredSettings()
{
    return testreg::Values(HKEY_CURRENT_USER, testreg::kKey);
}

const testreg::StoredValue* Find(const Stored& stored, const std::wstring& name)
{
    for (const testreg::StoredValue& value : stored)
        if (value.name == name)
            return &value;
    return nullptr;
}

bool Same(const testreg::StoredValue* a, const testreg::StoredValue* b)
{
    return (!a && !b) || (a && b && a->type == b->type && a->data == b->data);
}

// Every value as it was before or as the unfailed run left it.
bool SettingsHold(const Stored& now, const Stored& before, const Stored& after)
{
    std::vector<std::wstring> names;
    for (const Stored* stored : {&now, &before, &after})
        for (const testreg::StoredValue& value : *stored)
            names.push_back(value.name);
    for (const std::wstring& name : names) {
        const testreg::StoredValue* value = Find(now, name);
        if (!Same(value, Find(before, name)) && !Same(value, Find(after, name)))
            return false;
    }
    return true;
}

// The device as each run finds it: the settings of an earlier life, no
// alarm set, the clock held at the start.
void Reset()
{
    testreg::DeleteTree(HKEY_CURRENT_USER, testreg::kKey);
    testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
    testreg::PutDWord(L"Alarm", 1);
    testreg::PutDWord(L"Color1", RGB(10, 20, 30));
    testreg::PutString(L"Font", L"Tahoma");
    DeviceResetClock();
    DeviceHoldClock(TRUE);
    const SYSTEMTIME start = Start();
    SetLocalTime(&start);
}

// What one run of a scenario leaves.
struct Run
{
    DWORD calls = 0;       // the item's fallible calls in the walked part
    std::string failed;    // the function that failed; empty: none did
    bool shown = false;    // an item window after the recovery
    testhost::Image face;  // its face at the next refresh
    bool leaked = false;
    Stored settings;
};

// One run: the scenario with its n-th fallible call failing (0: none).
Run RunOnce(const Scenario& scenario, DWORD n, bool fromThenOn)
{
    Reset();
    const devicefacts::Counts before = devicefacts::Live();
    Run run;
    {
        Item item;
        scenario.prepare(item);
        if (n > 0)
            DeviceFailFallibleCall(n, fromThenOn);
        else
            DeviceFailFallibleCall(0, FALSE); // counts, fails nothing
        scenario.act(item);
        run.calls = DeviceFallibleCalls();
        char failed[64];
        if (DeviceFailedFunction(failed, sizeof failed))
            run.failed = failed;
        DeviceClearFailures();
        run.settings = StoredSettings();
        // The platform answers again: the next refresh, a minute on.
        Wait(1);
        item.Refresh();
        run.shown = item.Shown();
        if (run.shown)
            run.face = item.Face();
    }
    run.leaked = devicefacts::Live() != before;
    return run;
}

bool SameFace(const testhost::Image& a, const testhost::Image& b)
{
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Walks one scenario; its figures in the last line.
int WalkScenario(const Scenario& scenario, DWORD stride)
{
    const Run clean = RunOnce(scenario, 0, false);
    // The face of the item as if the walked part had not happened.
    const Run untouched = RunOnce({scenario.name, scenario.prepare, [](Item&) {}}, 0, false);
    if (clean.leaked) {
        std::printf("scenario %s: it leaks without any failure\n", scenario.name);
        return 1;
    }
    Reset();
    const Stored before = StoredSettings();
    int points = 0, survived = 0, leaks = 0, garbled = 0;
    for (const bool fromThenOn : {false, true}) {
        for (DWORD n = 1; n <= clean.calls; n += stride) {
            // Said before the run: a run that kills the process is named by it.
            std::printf("point %lu (%s)\n", static_cast<unsigned long>(n), fromThenOn ? "from then on" : "once");
            std::fflush(stdout);
            const Run run = RunOnce(scenario, n, fromThenOn);
            ++points;

            const std::string where = "call " + std::to_string(n) + " (" + run.failed + ", " +
                                      (fromThenOn ? "from then on" : "once") + ")";
            const bool rightFace = !clean.shown || !run.shown || SameFace(run.face, clean.face) ||
                                   SameFace(run.face, untouched.face);
            // An item whose window a failure kept from being made is left
            // out by the Today screen; one made must show the right face.
            if (rightFace)
                ++survived;
            else
                std::printf("scenario %s, %s: a wrong face at the next refresh\n", scenario.name, where.c_str());
            if (run.leaked) {
                ++leaks;
                std::printf("scenario %s, %s: left resources behind\n", scenario.name, where.c_str());
            }
            if (!SettingsHold(run.settings, before, clean.settings)) {
                ++garbled;
                std::printf("scenario %s, %s: a setting garbled\n", scenario.name, where.c_str());
            }
        }
    }
    std::printf("scenario %s: %d points, %d survived, %d leaks, %d garbled\n", scenario.name, points, survived, leaks,
        garbled);
    return 0;
}

// What a scenario's process said, but the points it passed.
std::string Told(const std::string& output)
{
    std::string told;
    for (size_t at = 0; at < output.size();) {
        const size_t end = std::min(output.find('\n', at), output.size() - 1);
        if (output.compare(at, 6, "point ") != 0)
            told += output.substr(at, end + 1 - at);
        at = end + 1;
    }
    return told;
}

// Walks every scenario, each in a process of its own, and sums them up.
int WalkAll(DWORD stride)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int scenarios = 0, points = 0, survived = 0, leaks = 0, garbled = 0;
    for (const Scenario& scenario : Scenarios()) {
        const std::string name = scenario.name;
        std::string output;
        const int code = deviceprogram::RunProgram(self,
            L"--scenario \"" + std::wstring(name.begin(), name.end()) + L"\" --stride " + std::to_wstring(stride),
            output, 600000);
        std::fputs(Told(output).c_str(), stdout);
        ++scenarios;
        int p = 0, v = 0, l = 0, g = 0;
        const size_t last = output.rfind("scenario " + name + ": ");
        if (code != 0 || last == std::string::npos ||
            std::sscanf(output.c_str() + last + name.size() + 11, "%d points, %d survived, %d leaks, %d garbled", &p,
                &v, &l, &g) != 4) {
            // The process died: the point it was at is the last one it said.
            const size_t point = output.rfind("point ");
            std::printf("scenario %s: died (exit %d) at %s", name.c_str(), code,
                point == std::string::npos ? "its start\n" : output.c_str() + point);
            ++points;
            continue;
        }
        points += p, survived += v, leaks += l, garbled += g;
    }
    std::printf("failure walk%s: %d scenarios, %d failure points, %d survived, %d leaks, %d settings garbled\n",
        itemundertest::Arm() ? " (ARM)" : "", scenarios, points, survived, leaks, garbled);
    return survived == points && leaks == 0 && garbled == 0 ? 0 : 1;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring only;
    DWORD stride = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::wstring(argv[i]) == L"--scenario")
            only = argv[i + 1];
        else if (std::wstring(argv[i]) == L"--stride")
            stride = std::max(1ul, std::wcstoul(argv[i + 1], nullptr, 10));
    }
    if (itemundertest::Path().empty()) {
        std::printf("failure walk (ARM): skipped, no Windows CE build named (make ce builds one)\n");
        return 0;
    }
    if (only.empty())
        return WalkAll(stride);
    for (const Scenario& scenario : Scenarios()) {
        const std::string name = scenario.name;
        if (std::wstring(name.begin(), name.end()) == only) {
            const int code = WalkScenario(scenario, stride);
            DeviceResetClock();
            testreg::DeleteTree(HKEY_CURRENT_USER, testreg::kKey);
            return code;
        }
    }
    std::fprintf(stderr, "failure_walk: no scenario %ls\n", only.c_str());
    return 2;
}

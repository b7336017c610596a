// mesolune_bench: what the calendar item costs, measured in the device, each
// figure a median with its spread, beside its baseline in the same run.
//
//   mesolune_bench [FILE.json]
#include "AllocationCounter.h"
#include "BareFace.h"
#include "DevicePath.h"
#include "DeviceRoot.h"
#include "ItemModule.h"
#include "MyToday.h"
#include "PeImage.h"
#include "Settings.h"
#include "SideBySide.h"
#include "TestHost.h"
#include "Utf8.h"

#include <ArmModule.h>
#include <deviceaccounting.h>
#include <deviceclock.h>
#include <todaycmn.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kTop = 26;
constexpr DWORD kStartTick = 10'000'000;
constexpr wchar_t kModule[] = L"mesolune.dll";
constexpr wchar_t kDesktopRuntimeModule[] = L"mesolune-desktop-runtime.dll";
// The Windows CE build's module for ARM, where make ce puts it beside the device.
constexpr wchar_t kArmModule[] = L"arm\\mesolune.dll";
// The ARM module of crossings, and what one call out may cost.
constexpr wchar_t kCrossingModule[] = L"arm\\crossing.dll";
constexpr double kCallOutGoalUs = 2.0;
// What each figure of the ARM module may cost beside this build's.
constexpr double kArmRatioGoal = 1.2;

CMyToday* g_item = nullptr;

LRESULT CALLBACK ItemProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    return g_item->WndProc(message, wParam, lParam);
}

LRESULT CALLBACK Trivial(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

// A window that paints nothing: the platform's own cost of a paint.
LRESULT CALLBACK PaintsNothing(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

SYSTEMTIME At(int hour, int minute, int second = 0)
{
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 8;
    t.wHour = static_cast<WORD>(hour), t.wMinute = static_cast<WORD>(minute), t.wSecond = static_cast<WORD>(second);
    return t;
}

std::string Processor()
{
    wchar_t name[128] = {};
    DWORD size = sizeof name;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString",
        RRF_RT_REG_SZ, nullptr, name, &size);
    return Utf8(name);
}

std::string WineVersion()
{
    using Version = const char*(CDECL*)();
    const auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version ? std::string("Wine ") + version() : "Windows";
}

// The figures, printed as a table and kept for the JSON file.
class Report
{
public:
    void Ratio(const std::string& key, const std::string& what, const Comparison& c, double goal)
    {
        std::printf("%-40s %10.1f us [%.1f..%.1f]  %10.1f us [%.1f..%.1f]  %6.2fx  (goal <= %.2fx) %s\n",
            what.c_str(), c.operation.median, c.operation.p10, c.operation.p90, c.baseline.median, c.baseline.p10,
            c.baseline.p90, c.Ratio(), goal, c.Ratio() <= goal ? "met" : "MISSED");
        Add(key, "{\"operation_us\": " + Timing(c.operation) + ", \"baseline_us\": " + Timing(c.baseline) +
                     ", \"ratio\": " + Number(c.Ratio()) + ", \"goal\": " + Number(goal) + "}");
    }

    void Time(const std::string& key, const std::string& what, const ::Timing& t)
    {
        std::printf("%-40s %10.1f us [%.1f..%.1f]\n", what.c_str(), t.median, t.p10, t.p90);
        Add(key, Timing(t));
    }

    // Two timings side by side, without a goal.
    void Versus(const std::string& key, const std::string& what, const Comparison& c)
    {
        std::printf("%-40s %10.1f us [%.1f..%.1f]  %10.1f us [%.1f..%.1f]  %6.2fx\n", what.c_str(), c.operation.median,
            c.operation.p10, c.operation.p90, c.baseline.median, c.baseline.p10, c.baseline.p90, c.Ratio());
        Add(key, "{\"operation_us\": " + Timing(c.operation) + ", \"baseline_us\": " + Timing(c.baseline) +
                     ", \"ratio\": " + Number(c.Ratio()) + "}");
    }

    // Two single runs' whole times, in seconds, side by side.
    void Totals(const std::string& key, const std::string& what, double seconds, double baselineSeconds)
    {
        std::printf("%-40s %10.2f s %27.2f s %15.2fx\n", what.c_str(), seconds, baselineSeconds,
            seconds / baselineSeconds);
        Add(key, "{\"operation_s\": " + Number(seconds) + ", \"baseline_s\": " + Number(baselineSeconds) +
                     ", \"ratio\": " + Number(seconds / baselineSeconds) + "}");
    }

    // A module file: its size and what it imports.
    void Module(const std::string& key, const std::string& what, const std::wstring& path)
    {
        const peimage::PeImage image = peimage::PeImage::FromFile(path);
        std::set<std::string> libraries;
        const std::vector<peimage::Import> imports = image.Imports();
        for (const peimage::Import& import : imports)
            libraries.insert(import.library);
        std::string names;
        for (const std::string& library : libraries)
            names += (names.empty() ? "" : " ") + library;
        std::printf("%-40s %10zu bytes, %zu imports from %zu libraries: %s\n", what.c_str(), image.FileSize(),
            imports.size(), libraries.size(), names.c_str());
        Add(key, "{\"bytes\": " + std::to_string(image.FileSize()) + ", \"imports\": " +
                     std::to_string(imports.size()) + ", \"libraries\": \"" + names + "\"}");
    }

    // A time against an absolute goal.
    void Cost(const std::string& key, const std::string& what, const ::Timing& t, double goalMicroseconds)
    {
        std::printf("%-40s %10.2f us [%.2f..%.2f]  %41s(goal <= %.1f us) %s\n", what.c_str(), t.median, t.p10, t.p90,
            "", goalMicroseconds, t.median <= goalMicroseconds ? "met" : "MISSED");
        Add(key, "{\"operation_us\": " + Timing(t) + ", \"goal_us\": " + Number(goalMicroseconds) + "}");
    }

    void Count(const std::string& key, const std::string& what, long value, long expected)
    {
        std::printf("%-40s %10ld   (allowed %ld) %s\n", what.c_str(), value, expected,
            value == expected ? "met" : "MISSED");
        Add(key, "{\"count\": " + std::to_string(value) + ", \"allowed\": " + std::to_string(expected) + "}");
    }

    void Text(const std::string& key, const std::string& value) { Add(key, "\"" + value + "\""); }

    std::string Json() const
    {
        std::string out = "{\n";
        for (size_t i = 0; i < fields_.size(); ++i)
            out += "  \"" + fields_[i].first + "\": " + fields_[i].second + (i + 1 < fields_.size() ? ",\n" : "\n");
        return out + "}\n";
    }

private:
    static std::string Number(double v)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", v);
        return text;
    }
    static std::string Timing(const ::Timing& t)
    {
        return "{\"median\": " + Number(t.median) + ", \"p10\": " + Number(t.p10) + ", \"p90\": " + Number(t.p90) + "}";
    }
    void Add(const std::string& key, const std::string& value) { fields_.emplace_back(key, value); }

    std::vector<std::pair<std::string, std::string>> fields_;
};

class Bench
{
public:
    Bench()
    {
        // The defaults, and no alarm set.
        RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), L"Software\\Orvik\\Mesolune");
        RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), L"Software\\Microsoft\\Clock");
        DeviceHoldClock(TRUE);
        const SYSTEMTIME start = At(9, 41);
        SetLocalTime(&start);
        DeviceSetTickCount(kStartTick);
        host.itemOrigin = POINT{0, kTop};

        WNDCLASSW wc = {};
        wc.lpfnWndProc = Trivial;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BenchProbe";
        RegisterClassW(&wc);
        probe = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 1, 1, host.Window(), nullptr,
            wc.hInstance, nullptr);
    }

    ~Bench() { DeviceResetClock(); }

    void Run(Report& report)
    {
        MakeItem();
        Queries(report);
        Renders(report);
        Day(report);
        DestroyItem();
        Allocations(report);
        Startup(report);
        Arm(report);
    }

private:
    void MakeItem()
    {
        LoadSettings();
        item = std::make_unique<CMyToday>(GetModuleHandleW(nullptr), L"BenchCalendar", L"BenchCalendar");
        g_item = item.get();
        item->RegisterWindowClass(ItemProc);
        item->Create(host.Window(), WS_CHILD | WS_VISIBLE);
        item->Show(TRUE);
        Query();
        SetWindowPos(item->m_hWnd, nullptr, 0, kTop, item->m_nWidth, static_cast<int>(record.cyp), SWP_NOZORDER);
        UpdateWindow(item->m_hWnd);
    }

    void DestroyItem()
    {
        DestroyWindow(item->m_hWnd);
        item.reset();
    }

    LRESULT Query()
    {
        return SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    }

    // What a query cannot do without: the host's call, the tick count, the
    // local time and the 0-ms wait on the readiness signal (with its handle).
    void Unavoidable() const
    {
        SendMessageW(probe, WM_NULL, 0, 0);
        volatile DWORD ticks = GetTickCount();
        (void)ticks;
        SYSTEMTIME now;
        GetLocalTime(&now);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"SYSTEM/ShellAPIReady");
        WaitForSingleObject(ready, 0);
        CloseHandle(ready);
    }

    void Queries(Report& report)
    {
        const SideBySide timer(300, 50);
        report.Ratio("query_unchanged", "refresh query, nothing changed", timer.Run([&] { Query(); }, [&] {
            Unavoidable();
        }), 1.5);
    }

    void Renders(Report& report)
    {
        const BareFace bare(*item, g_hAlarmOffIcon);
        const SideBySide timer(200, 10);
        const Comparison render = timer.Run([&] { item->Render(); },
            [&] { bare.Draw(host.Window(), item->m_hMemDC, item->m_hWnd); });
        report.Ratio("render", "render (background and face)", render, 1.2);
        // A repaint through the window manager; what a window that paints
        // nothing costs the same way; and the item's own paint handler, a
        // block copy of its surface, into a surface of the window's size.
        RECT place;
        GetWindowRect(item->m_hWnd, &place);
        MapWindowPoints(nullptr, host.Window(), reinterpret_cast<POINT*>(&place), 2);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = PaintsNothing;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BenchPaintsNothing";
        RegisterClassW(&wc);
        HWND empty = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, place.left, place.top,
            place.right - place.left, place.bottom - place.top, host.Window(), nullptr, wc.hInstance, nullptr);
        const auto repaint = [](HWND window) {
            InvalidateRect(window, nullptr, TRUE);
            UpdateWindow(window);
        };
        const Comparison paint = timer.Run([&] { repaint(item->m_hWnd); }, [&] { repaint(empty); });
        DestroyWindow(empty);

        HDC screen = GetDC(nullptr);
        HDC target = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, place.right - place.left, place.bottom - place.top);
        ReleaseDC(nullptr, screen);
        const HGDIOBJ previous = SelectObject(target, bitmap);
        const Timing handler = SideBySide(200, 50).Once([&] { item->OnPaint(target); });
        SelectObject(target, previous);
        DeleteObject(bitmap);
        DeleteDC(target);
        // The item's part of a repaint has the goal; the platform's paint
        // cycle around it is shown beside it.
        report.Ratio("repaint_handler", "repaint: the item's paint handler", Comparison{handler, render.operation},
            0.1);
        report.Versus("repaint", "  with the platform's WM_PAINT cycle", Comparison{paint.operation, render.operation});
        report.Versus("repaint_empty", "  an empty window's WM_PAINT cycle", Comparison{paint.baseline, render.operation});
    }

    // The item module's own imports of every allocator are counted.
    void Allocations(Report& report)
    {
        HMODULE module = LoadLibraryW(ModulePath(kModule).c_str());
        const auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
            reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
        TODAYLISTITEM fresh = testhost::ShownItemRecord();
        HWND window = initialize(&fresh, host.Window());
        const auto query = [&] {
            SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&fresh), 0);
        };
        query();
        {
            AllocationCounter counter(module);
            for (int i = 0; i < 1000; ++i)
                query();
            report.Count("allocations_query", "heap allocations, 1000 unchanged queries", counter.Count(), 0);
            counter.Reset();
            const size_t renders = host.watermarks.size();
            for (int i = 1; i <= 100; ++i) {
                const SYSTEMTIME now = At(10, i % 60);
                SetLocalTime(&now);
                query(); // a new minute: a render
            }
            const long count = counter.Count();
            report.Count("allocations_render", "heap allocations, 100 renders", host.watermarks.size() - renders == 100
                ? count : -1, 0);
        }
        DestroyWindow(window);
        FreeLibrary(module);
        const SYSTEMTIME start = At(9, 41);
        SetLocalTime(&start);
    }

    static std::wstring ModulePath(const wchar_t* name)
    {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring folder = self;
        return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
    }

    // A day of 2-second queries with the clock stepped, nothing done by hand.
    void Day(Report& report)
    {
        UpdateWindow(item->m_hWnd); // nothing left to paint from before
        const size_t rendersBefore = host.watermarks.size();
        const DWORD openingsBefore = DeviceRegistryOpenings();
        const LONG surfacesBefore = DeviceMadeResources(DEVICE_BITMAPS);
        long invalidations = 0, reads = 0, minutes = 0;
        DWORD stamp = g_dwLastAlarmCheck;
        int minute = item->m_nMinute;
        for (int q = 1; q <= 43'200; ++q) {
            const int seconds = 9 * 3600 + 41 * 60 + 2 * q;
            const SYSTEMTIME now = At(seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
            SetLocalTime(&now);
            DeviceSetTickCount(kStartTick + 2000u * static_cast<DWORD>(q));
            Query();
            if (GetUpdateRect(item->m_hWnd, nullptr, FALSE)) {
                ++invalidations;
                ValidateRect(item->m_hWnd, nullptr);
            }
            if (g_dwLastAlarmCheck != stamp) {
                ++reads;
                stamp = g_dwLastAlarmCheck;
            }
            if (now.wMinute != minute) {
                ++minutes;
                minute = now.wMinute;
            }
        }
        const long renders = static_cast<long>(host.watermarks.size() - rendersBefore);
        report.Count("day_renders", "a day: renders (one a minute)", renders, minutes);
        report.Count("day_invalidations", "a day: invalidations", invalidations, minutes);
        report.Count("day_alarm_reads", "a day: alarm reads (interval > 60 s)", reads, 43'200 / 31);
        report.Count("day_key_openings", "a day: registry keys opened (3 a read)",
            static_cast<long>(DeviceRegistryOpenings() - openingsBefore), 3 * reads);
        report.Count("day_surfaces", "a day: surfaces made", DeviceMadeResources(DEVICE_BITMAPS) - surfacesBefore, 0);
    }

    // The module, and the same item linked with the toolchain's desktop
    // runtime as it was before it had a start-up of its own, side by side.
    void Startup(Report& report)
    {
        const std::wstring own = ModulePath(kModule), desktop = ModulePath(kDesktopRuntimeModule);
        report.Module("module", "mesolune.dll", own);
        report.Module("module_desktop_runtime", "  the item with the desktop runtime", desktop);
        std::vector<double> ownTimes, desktopTimes;
        for (int round = 0; round < 30; ++round) {
            ownTimes.push_back(StartupMicroseconds(own));
            desktopTimes.push_back(StartupMicroseconds(desktop));
        }
        report.Versus("startup", "start-up: LoadLibrary to first painted frame",
            Comparison{Summarise(ownTimes), Summarise(desktopTimes)});
    }

    double StartupMicroseconds(const std::wstring& path)
    {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        HMODULE module = LoadLibraryW(path.c_str());
        const auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
            reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
        TODAYLISTITEM fresh = testhost::ShownItemRecord();
        HWND window = initialize(&fresh, host.Window()); // shown and painted when it returns
        QueryPerformanceCounter(&end);
        DestroyWindow(window);
        FreeLibrary(module);
        return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
    }

    // An item module loaded, its window placed, at the clock's minute now.
    struct LoadedModule
    {
        std::unique_ptr<ItemModule> module;
        TODAYLISTITEM record = testhost::ShownItemRecord();
        HWND window = nullptr;
        LRESULT Query()
        {
            return SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
        }
        ~LoadedModule()
        {
            if (window)
                DestroyWindow(window);
        }
    };

    bool Load(LoadedModule& loaded, const std::wstring& path)
    {
        std::wstring error;
        loaded.module = ItemModule::Load(path, path, error);
        if (!loaded.module)
            return false;
        loaded.window = loaded.module->Initialize(&loaded.record, host.Window());
        loaded.Query();
        SetWindowPos(loaded.window, nullptr, 0, kTop, GetSystemMetrics(SM_CXSCREEN), static_cast<int>(loaded.record.cyp),
            SWP_NOZORDER);
        UpdateWindow(loaded.window);
        return loaded.window != nullptr;
    }

    // The module built for ARM, run on the device's emulated processor, beside
    // this build's: start-up, refresh query, render, and a day of refreshes.
    void Arm(Report& report)
    {
        const std::wstring armPath = ModulePath(kArmModule), ownPath = ModulePath(kModule);
        if (GetFileAttributesW(armPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("%-40s (no module for ARM: make ce builds one)\n", "ARM module");
            return;
        }
        report.Module("module_arm", "mesolune.dll for ARM", armPath);
        Crossings(report);
        std::vector<double> armTimes, ownTimes;
        for (int round = 0; round < 30; ++round) {
            armTimes.push_back(ItemModuleStartupMicroseconds(armPath));
            ownTimes.push_back(ItemModuleStartupMicroseconds(ownPath));
        }
        report.Ratio("arm_startup", "ARM: start-up, load to first frame", Comparison{Summarise(armTimes),
            Summarise(ownTimes)}, kArmRatioGoal);
        // The first round's ARM module follows another module: its code is
        // translated as it runs. The others find it translated.
        report.Versus("arm_startup_first", "  the first load, its code translated",
            Comparison{Summarise({armTimes.front()}), Summarise({ownTimes.front()})});

        LoadedModule arm, own;
        if (!Load(arm, armPath) || !Load(own, ownPath))
            return;
        const SideBySide timer(300, 50);
        report.Ratio("arm_query_unchanged", "ARM: refresh query, nothing changed",
            timer.Run([&] { arm.Query(); }, [&] { own.Query(); }), kArmRatioGoal);
        // A query at a new minute renders the face.
        int minute = 0;
        const auto nextMinute = [&] {
            minute = (minute + 1) % 60;
            const SYSTEMTIME now = At(11, minute);
            SetLocalTime(&now);
        };
        const SideBySide renders(200, 5);
        report.Ratio("arm_render", "ARM: refresh query that renders", renders.Run([&] {
            nextMinute();
            arm.Query();
        }, [&] {
            nextMinute();
            own.Query();
        }), kArmRatioGoal);
        // A day of 2-second queries, the clock stepped, in slices of an hour:
        // each hour run by both modules, the one that goes first alternating,
        // so that both meet the same machine. The figure is a query's time in
        // each hour; the day's whole time is the sum of its hours.
        constexpr int kQueriesAnHour = 1800;
        const auto hour = [&](LoadedModule& loaded, int first) {
            LARGE_INTEGER frequency, start, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            for (int q = first; q < first + kQueriesAnHour; ++q) {
                const int seconds = 2 * q;
                const SYSTEMTIME now = At(seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
                SetLocalTime(&now);
                DeviceSetTickCount(kStartTick + 2000u * static_cast<DWORD>(q));
                loaded.Query();
                ValidateRect(loaded.window, nullptr);
            }
            QueryPerformanceCounter(&end);
            return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                   static_cast<double>(frequency.QuadPart) / kQueriesAnHour;
        };
        std::vector<double> armHours, ownHours;
        for (int h = 0; h < 24; ++h) {
            const int first = 1 + h * kQueriesAnHour;
            if (h % 2) {
                ownHours.push_back(hour(own, first));
                armHours.push_back(hour(arm, first));
            } else {
                armHours.push_back(hour(arm, first));
                ownHours.push_back(hour(own, first));
            }
        }
        report.Ratio("arm_day", "ARM: a day of refresh queries, by hour",
            Comparison{Summarise(armHours), Summarise(ownHours)}, kArmRatioGoal);
        const auto seconds = [&](const std::vector<double>& hours) {
            double sum = 0;
            for (double perQuery : hours)
                sum += perQuery * kQueriesAnHour / 1e6;
            return sum;
        };
        report.Totals("arm_day_total", "  the whole day", seconds(armHours), seconds(ownHours));
        const SYSTEMTIME start = At(9, 41);
        SetLocalTime(&start);
        DeviceSetTickCount(kStartTick);
    }

    // One call into an ARM module and back, and one call out of it to the
    // device and back, in a module that does nothing else.
    void Crossings(Report& report)
    {
        std::wstring error;
        const std::unique_ptr<armce::ArmModule> module =
            armce::ArmModule::Load(ModulePath(kCrossingModule), kCrossingModule, error);
        const std::uint32_t nothing = module ? module->Export("Nothing") : 0;
        const std::uint32_t callOut = module ? module->Export("CallOut") : 0;
        if (!nothing || !callOut) {
            std::printf("%-40s (no module of crossings for ARM: %ls)\n", "ARM crossings", error.c_str());
            return;
        }
        constexpr int kCalls = 1000;
        std::vector<double> in, out;
        for (int round = 0; round < 200; ++round) {
            LARGE_INTEGER frequency, start, middle, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            for (int call = 0; call < kCalls; ++call)
                module->Call(nothing, {1});
            QueryPerformanceCounter(&middle);
            module->Call(callOut, {kCalls});
            QueryPerformanceCounter(&end);
            const double ticksPerMicrosecond = static_cast<double>(frequency.QuadPart) / 1e6;
            const double oneIn = static_cast<double>(middle.QuadPart - start.QuadPart) / ticksPerMicrosecond / kCalls;
            in.push_back(oneIn);
            out.push_back((static_cast<double>(end.QuadPart - middle.QuadPart) / ticksPerMicrosecond - oneIn) / kCalls);
        }
        report.Time("arm_call_in", "ARM: a call in (host, module, host)", Summarise(in));
        report.Cost("arm_call_out", "ARM: a call out (module, device, module)", Summarise(out), kCallOutGoalUs);
    }

    double ItemModuleStartupMicroseconds(const std::wstring& path)
    {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        {
            LoadedModule loaded;
            std::wstring error;
            loaded.module = ItemModule::Load(path, path, error);
            loaded.window = loaded.module ? loaded.module->Initialize(&loaded.record, host.Window()) : nullptr;
            QueryPerformanceCounter(&end);
        }
        return static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
    }

    testhost::TestHost host;
    HWND probe = nullptr;
    std::unique_ptr<CMyToday> item;
    TODAYLISTITEM record = {};
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const std::string device = std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                               std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ", " + std::to_string(dpi) + " dpi";
    std::printf("Mesolune benchmarks: %s device, %s, %s\n", device.c_str(), WineVersion().c_str(), Processor().c_str());
    std::printf("%-40s %-27s  %-27s  %s\n", "figure", "median [p10..p90]", "baseline", "ratio");

    Report report;
    report.Text("device", device);
    report.Text("platform", WineVersion());
    report.Text("processor", Processor());
    Bench bench;
    bench.Run(report);

    if (argc > 1) {
        std::ofstream out(DevicePath(argv[1]).c_str(), std::ios::binary);
        out << report.Json();
        std::printf("figures written to %s\n", Utf8(argv[1]).c_str());
    }
    return 0;
}

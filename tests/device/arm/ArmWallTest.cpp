// The device's runner of ARM modules as a wall: every pointer an import
// takes is typed in the import table, and a hostile ARM item (tests/ce/items/
// HostileItem.cpp) that hands the device bad pointers, breaks its heap or its
// stack, runs for ever, reaches for the processor's control register or
// another's memory, or misbehaves in its dialogs ends alone: one line naming
// it, the Today screen alive with the calendar and the item beside it drawn
// as without it, nothing left in the device's accounting.
#include "DevicePath.h"
#include "DeviceProgram.h"

#include <DevicePaths.h>
#include <devicefiles.h>
#include <Imports.h>
#include <Messages.h>

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace deviceprogram;
using armce::GuestArg;
using armce::HostParam;

bool IsPointerKind(GuestArg kind)
{
    switch (kind) {
    case GuestArg::kString:
    case GuestArg::kRecordIn:
    case GuestArg::kRecordOut:
    case GuestArg::kRecordInOut:
    case GuestArg::kBytesIn:
    case GuestArg::kBytesOut:
    case GuestArg::kHandleOut:
    case GuestArg::kProcedure:
        return true;
    default:
        return false;
    }
}

// What a parameter of the host's function may be handed as: a pointer to
// data only as a checked pointer (or ignored), code only as the module's
// code, a handle type as a handle.
bool Typed(HostParam host, GuestArg guest)
{
    switch (host) {
    case HostParam::kData:
        return IsPointerKind(guest) && guest != GuestArg::kProcedure ? true : guest == GuestArg::kIgnored;
    case HostParam::kProcedure:
        return guest == GuestArg::kProcedure || guest == GuestArg::kIgnored;
    case HostParam::kHandle:
        return guest == GuestArg::kHandle || guest == GuestArg::kKey || guest == GuestArg::kOwned ||
               guest == GuestArg::kOwnWindow || guest == GuestArg::kUsable || guest == GuestArg::kModule;
    case HostParam::kVoidPointer:
        return guest != GuestArg::kValue;
    case HostParam::kScalar:
        return guest == GuestArg::kValue || guest == GuestArg::kOpaque || guest == GuestArg::kIgnored;
    }
    return false;
}

TEST(ImportTable, EveryPointerArgumentIsTyped)
{
    ASSERT_GT(armce::ImportCount(), 0u);
    for (std::size_t i = 0; i < armce::ImportCount(); ++i) {
        const armce::Import& import = armce::Imports()[i];
        SCOPED_TRACE(import.name);
        EXPECT_NE(nullptr, armce::HostFunction(i)) << "the device has no such function";
        for (int p = 0; p < import.count; ++p)
            EXPECT_TRUE(Typed(import.params[p].host, import.params[p].guest))
                << "argument " << p + 1 << " crosses untyped";
    }
}

// Each of the platform's messages has one rule (a second would never be
// read), and a rule for a pointer says how its record crosses, each way it
// is copied.
TEST(MessageTable, EachMessageHasOneRuleAndEachPointerItsCopies)
{
    const std::vector<armce::MessageRule>& rules = armce::PlatformRules();
    ASSERT_FALSE(rules.empty());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const armce::MessageRule& rule = rules[i];
        SCOPED_TRACE("message " + std::to_string(rule.message));
        for (std::size_t j = i + 1; j < rules.size(); ++j)
            EXPECT_FALSE(rules[j].message == rule.message && rules[j].hostClass == rule.hostClass) << "a second rule";
        if (!rule.layout)
            continue;
        const bool in = static_cast<int>(rule.direction) & static_cast<int>(armce::Direction::kIn);
        const bool out = static_cast<int>(rule.direction) & static_cast<int>(armce::Direction::kOut);
        EXPECT_TRUE(in || out) << "a pointer that goes neither way";
        EXPECT_TRUE(rule.layout->toGuest || rule.layout->toHost) << "a record that crosses neither way";
        if (out && rule.layout->toGuest) {
            EXPECT_NE(nullptr, rule.layout->fromGuest) << "what the guest writes is not copied back";
        }
    }
}

// The files and programs a module may reach: the device's own only.
TEST(GuestPaths, OnlyTheDevicesFilesAndProgramsAreReached)
{
    wchar_t store[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(L"\\My Documents\\note.txt", store, MAX_PATH));
    const struct
    {
        const wchar_t* name;
        bool reached;
    } files[] = {
        {L"\\My Documents\\note.txt", true}, {L"\\Windows\\devinfo.exe", true}, {L"\\..\\note.txt", false},
        {L"\\Windows\\..\\..\\note.txt", false}, {L"\\Windows\\.\\note.txt", false}, {L"note.txt", false},
        {L"C:\\note.txt", false}, {L"\\C:\\note.txt", false}, {L"\\\\server\\share\\note.txt", false},
        {L"\\Windows\\note.txt.", false}, {L"\\Windows\\no\x01te.txt", false}, {L"\\Windows\\", false},
        {L"\\Windows/../note.txt", false},
    };
    for (const auto& f : files) {
        for (const bool writing : {false, true}) {
            std::wstring path;
            EXPECT_EQ(f.reached, armce::GuestFilePath(f.name, writing, path))
                << testing::PrintToString(std::wstring(f.name));
            if (f.name == std::wstring(L"\\My Documents\\note.txt")) {
                EXPECT_EQ(store, path);
            }
        }
    }
    const struct
    {
        const wchar_t* name;
        bool started;
    } programs[] = {
        {L"\\Windows\\devinfo.exe", true}, {L"devinfo.exe", true}, {L"\\Windows\\no_such.exe", false},
        {L"\\Windows\\..\\Windows\\devinfo.exe", false}, {L"\\My Documents\\devinfo.exe", false},
        {L"C:\\windows\\system32\\notepad.exe", false}, {L"\\Windows\\coredll.dll", false},
    };
    for (const auto& p : programs) {
        std::wstring path;
        EXPECT_EQ(p.started, armce::DeviceProgram(p.name, path)) << testing::PrintToString(std::wstring(p.name));
    }
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Hostile
{
    std::string text;   // its Today key's Case
    std::string says;   // what its line says after the address it stopped at
    std::string orSays; // or this, when the device may take the bad argument
};

std::vector<Hostile> PointerCases()
{
    std::vector<Hostile> cases;
    for (std::size_t i = 0; i < armce::ImportCount(); ++i) {
        const armce::Import& import = armce::Imports()[i];
        for (int p = 0; p < import.count; ++p) {
            if (!IsPointerKind(import.params[p].guest))
                continue;
            const std::string name = import.name, argument = std::to_string(p + 1);
            const std::string says = name + "'s argument " + argument + " is 0x";
            for (const char* kind : {"unmapped", "topbit", "host"})
                cases.push_back({name + " " + argument + " " + kind, says, ""});
            // Null is good for an argument that may be left out.
            cases.push_back({name + " " + argument + " null", says, "an undefined instruction"});
            if (import.params[p].guest == GuestArg::kString)
                cases.push_back({name + " " + argument + " endless", says, ""});
        }
    }
    // Sizes larger than the module's memory, and pointers the message table
    // or a thunk of its own finds.
    for (const char* huge : {"memcpy 3", "memset 3", "RegSetValueExW 6", "RegQueryValueExW 6", "DrawTextW 3"}) {
        const std::string text = huge;
        cases.push_back({text + " huge", text.substr(0, text.find(' ')) + "'s argument ", ""});
    }
    for (const char* message : {"SendMessageW 4", "DefWindowProcW 4", "SendMessageTimeout 4", "LoadResource 2",
             "SizeofResource 2", "RegisterClassW 2", "wsprintfW 3"}) {
        const std::string text = message;
        const std::string name = text.substr(0, text.find(' '));
        // The record's inner pointer is the record's argument's fault.
        const std::string argument = name == "RegisterClassW" ? "1" : text.substr(text.find(' ') + 1);
        for (const char* kind : {"unmapped", "topbit", "host"})
            cases.push_back({text + " " + kind, name + "'s argument " + argument + " is 0x", ""});
    }
    return cases;
}

std::vector<Hostile> BehaviourCases()
{
    return {
        {"heap", "free's argument 1 is 0x", ""},
        {"stack", "its stack is used up", ""},
        {"loop", "it ran for 3 seconds without returning", ""},
        {"sleep", "it ran for 3 seconds without returning", ""},
        {"wait", "it ran for 3 seconds without returning", ""},
        {"cp15", "an undefined instruction", ""},
        {"neighbour", "a write to unmapped memory at 0x10005000", ""},
        {"hostwrite", "a write to unmapped memory at 0x7FFE0000", ""},
        {"parent", "an undefined instruction", ""},
    };
}

// The window manager's and GDI's tricks: each ends its module with its line,
// and the Today screen is as without it.
std::vector<Hostile> HostTrickCases()
{
    const std::string unseen = "a dialog of its that nobody can see holds the host";
    return {
        {"move", "DefWindowProcW's argument 2 is 0x00000112", ""},
        {"altf4", "DefWindowProcW's argument 2 is 0x00000104", ""},
        {"caption", "SendMessageW's argument 2 is 0x000000A1", ""},
        {"brushes", "more than 1024 handles of its own alive", ""},
        {"controls", "CreateWindowExW's argument 2 is 0x", ""},
        {"screen", "CreateWindowExW's argument 9 is 0x", ""},
        {"keptdc", "FillRect's argument 1 is 0x", ""},
        {"guessobject", "SelectObject's argument 2 is 0x0A0A0A0A", ""},
        {"hidden", unseen, ""},
        {"offscreen", unseen, ""},
        {"hostwindow", "it returned a window not its own", ""},
        {"loaddialog", "a call of DialogBoxIndirectParamW that waits for the user before the host has its window", ""},
        {"paintreload", "SendMessageW's argument 2 is 0x0000001A", ""},
    };
}

// wsprintfW's formats: each conversion one wsprintf takes is converted with
// the argument forwarded for it (the module goes on to its undefined
// instruction); any other, or more than the host is handed, ends the module.
std::vector<Hostile> FormatCases()
{
    const std::string refused = "wsprintfW's argument 2 is 0x";
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "%d";
    return {
        {"format %d %u %x %X %i %c %C %s %ls %S %hs %p %-08.3d %#x %I64d %%", "an undefined instruction", ""},
        {"format %n", refused, ""},
        {"format %*d", refused, ""},
        {"format %.*s", refused, ""},
        {"format %q", refused, ""},
        {"format %I64s", refused, ""},
        {"format %hp", refused, ""},
        {"format %99999d", refused, ""},
        {"format ends with %", refused, ""},
        {"format " + seventeen, refused, ""},
    };
}

// Registry keys a module may name: the device's roots, and the keys it
// opened; any other root or handle ends it.
std::vector<Hostile> RegistryCases()
{
    const std::string refused = "RegCreateKeyExW's argument 1 is 0x";
    return {
        {"registry 80000000", "an undefined instruction", ""}, // HKEY_CLASSES_ROOT, the device's own
        {"registry 80000003", "an undefined instruction", ""}, // HKEY_USERS
        {"registry 80000004", refused, ""},                    // HKEY_PERFORMANCE_DATA
        {"registry 80000005", refused, ""},                    // HKEY_CURRENT_CONFIG
        {"registry 80000006", refused, ""},                    // HKEY_DYN_DATA
        {"registry 00000004", refused, ""},                    // handles it never opened
        {"registry 00000010", refused, ""},
        {"registry 00000114", refused, ""},
    };
}

// Whether the desktop's own registry (not the device's) has the key.
bool OnTheDesktop(HKEY root, const wchar_t* path)
{
    using OpenKey = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
    const auto open = reinterpret_cast<OpenKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegOpenKeyExW")));
    HKEY key = nullptr;
    if (open(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The names of the keys below a key of the desktop's own registry.
std::vector<std::wstring> DesktopSubkeys(HKEY root, const wchar_t* path)
{
    using OpenKey = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
    using EnumKey = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
    const HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    const auto open = reinterpret_cast<OpenKey>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegOpenKeyExW")));
    const auto enumerate = reinterpret_cast<EnumKey>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegEnumKeyExW")));
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (open(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (enumerate(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

bool NamesHostile(std::wstring name)
{
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    return name.find(L"hostile") != std::wstring::npos;
}

// The canary: whatever the hostile items tried, the desktop's registry has
// no key of theirs, and the desktop's folders beside the device (its
// drive's root and Windows folder, the Linux file system's /tmp and root)
// no file of theirs.
void ExpectNoTraceOnTheDesktop()
{
    for (const HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
        for (const wchar_t* path : {L"Software", L"Software\\Microsoft", L""})
            for (const std::wstring& name : DesktopSubkeys(root, path))
                EXPECT_FALSE(NamesHostile(name)) << "the desktop's registry has " << testing::PrintToString(name);
    for (const wchar_t* folder : {L"C:\\", L"C:\\windows\\", L"C:\\windows\\system32\\", L"Z:\\tmp\\", L"Z:\\"}) {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((std::wstring(folder) + L"*hostile*").c_str(), &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "the desktop has " << testing::PrintToString(std::wstring(folder) + found.cFileName);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
}

std::string HexDigits(const std::string& line, size_t at)
{
    for (size_t i = 0; i < 8; ++i)
        if (at + i >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[at + i])))
            return "";
    return line.substr(at, 8);
}

// Whether a line is the one of module file, stopped, saying what the case says.
bool IsLineOf(const std::string& line, const std::string& file, const Hostile& hostile)
{
    const std::string prefix = "today: the ARM module ";
    const size_t name = line.find(file);
    if (line.rfind(prefix, 0) != 0 || name == std::string::npos)
        return false;
    const std::string stopped = " stopped at 0x";
    size_t at = name + file.size();
    if (line.compare(at, stopped.size(), stopped) != 0 || HexDigits(line, at + stopped.size()).empty())
        return false;
    const std::string says = line.substr(at + stopped.size() + 8 + 2);
    return says.rfind(hostile.says, 0) == 0 || (!hostile.orSays.empty() && says.rfind(hostile.orSays, 0) == 0);
}

class ArmWall : public testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_CE_BUILD();
        calendar = CeBuildFile("mesolune.dll");
        hostile = CeBuildFile("test-items/hostile.dll");
        misaligned = CeBuildFile("test-items/faulty_misaligned.dll");
        returnsWithBx = CeBuildFile("test-items/crossing.dll");
        reference = Run({}, {}, "");
        ASSERT_GT(reference.width, 0);
    }

    void TearDown() override { ExpectNoTraceOnTheDesktop(); }

    // The Today screen with the ARM calendar, the short item, and hostile
    // items (a copy each, named by its place in the list) after them; its
    // output in output. Once it has ended, whileRegistered runs before the
    // items are removed.
    Picture Run(const std::vector<Hostile>& cases, const std::vector<std::wstring>& after, const std::string& script,
        const std::wstring& options = L"", const std::function<void()>& whileRegistered = {})
    {
        TodayItemsOverride items;
        items.Add(L"Mesolune", calendar, 1, 1, 1);
        items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
        std::vector<TempFile> copies;
        copies.reserve(cases.size());
        for (size_t i = 0; i < cases.size(); ++i) {
            copies.emplace_back(L"-hostile-" + std::to_wstring(i) + L".dll");
            CopyFileW(hostile.c_str(), copies.back().Path().c_str(), FALSE);
            const std::wstring name = L"Hostile " + std::to_wstring(i);
            items.Add(name, copies.back().Path(), static_cast<DWORD>(10 + i), 1, 1);
            SetCase(name, cases[i].text);
            files.push_back(copies.back().Path());
        }
        for (size_t i = 0; i < after.size(); ++i)
            items.Add(L"After " + std::to_wstring(i), after[i], static_cast<DWORD>(100 + i));
        TempFile png(L".png"), input(L".txt");
        std::wstring arguments = L"--time 2026-12-08T09:41 --screenshot \"" + png.Path() + L"\"";
        if (!script.empty()) {
            WriteTextFile(input.Path(), script);
            arguments += L" --input \"" + input.Path() + L"\"";
        }
        if (!options.empty())
            arguments += L" --options \"" + options + L"\"";
        exitCode = RunProgram(L"today.exe", arguments, output, 120000);
        if (whileRegistered)
            whileRegistered();
        return ReadPng(png.Path());
    }

    static void SetCase(const std::wstring& item, const std::string& text)
    {
        const std::wstring key = L"Software\\Microsoft\\Today\\Items\\" + item;
        const std::wstring value(text.begin(), text.end());
        HKEY opened = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &opened));
        RegSetValueExW(opened, L"Case", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }

    static std::string Narrow(const std::wstring& text)
    {
        std::string narrow;
        for (wchar_t c : text)
            narrow += static_cast<char>(c);
        return narrow;
    }

    // Every case's module ended with its one line, nothing else was said, the
    // screen is the one without them, and nothing was left.
    // With startedScreens, the modules started Today screens, which show the
    // same items and may each say their lines again, as far as they get, and
    // may say that the picture they were asked for, theirPicture, cannot be
    // written: every line is then one of those, as often as it comes.
    void ExpectEachEndedAlone(const std::vector<Hostile>& cases, const Picture& screen, size_t otherLines = 0,
        bool sameScreen = true, bool startedScreens = false, const std::string& theirPicture = "")
    {
        EXPECT_EQ(0, exitCode) << output;
        EXPECT_EQ(std::string::npos, output.find("coredll: left at exit")) << output;
        size_t lines = 0, casesLines = 0;
        for (size_t at = 0; at < output.size(); at = output.find('\n', at) + 1) {
            const size_t end = output.find_first_of("\r\n", at);
            const std::string line = output.substr(at, end == std::string::npos ? std::string::npos : end - at);
            const bool theirs = startedScreens && !theirPicture.empty() &&
                                line.find("screenshot " + theirPicture + ":") != std::string::npos;
            if (line.compare(0, 7, "today: ") == 0 && !theirs) {
                ++lines;
                for (size_t i = 0; i < cases.size(); ++i)
                    if (IsLineOf(line, Narrow(files[files.size() - cases.size() + i]), cases[i])) {
                        ++casesLines;
                        break;
                    }
            }
            if (output.find('\n', at) == std::string::npos)
                break;
        }
        if (startedScreens) {
            EXPECT_EQ(lines, casesLines + otherLines) << output;
            EXPECT_LE(cases.size() + otherLines, lines) << output;
        } else {
            EXPECT_EQ(cases.size() + otherLines, lines) << output;
        }
        for (size_t i = 0; i < cases.size(); ++i) {
            const std::string file = Narrow(files[files.size() - cases.size() + i]);
            bool found = false;
            for (size_t at = 0; at < output.size() && !found; at = output.find('\n', at) + 1) {
                const size_t end = output.find_first_of("\r\n", at);
                found = IsLineOf(output.substr(at, end - at), file, cases[i]);
                if (end == std::string::npos)
                    break;
            }
            EXPECT_TRUE(found) << cases[i].text << ": no line saying \"" << cases[i].says << "\"\n" << output;
        }
        ASSERT_EQ(reference.width, screen.width);
        ASSERT_EQ(reference.height, screen.height);
        if (sameScreen) {
            EXPECT_TRUE(reference.pixels == screen.pixels) << "the screen is not the one without the hostile items";
        }
    }

    std::wstring calendar, hostile, misaligned, returnsWithBx;
    std::vector<std::wstring> files;
    Picture reference;
    std::string output;
    int exitCode = -1;
};

TEST_F(ArmWall, EachBadPointerAnImportIsHandedEndsOnlyItsModule)
{
    const std::vector<Hostile> all = PointerCases();
    constexpr size_t kBatch = 24;
    for (size_t first = 0; first < all.size(); first += kBatch) {
        const std::vector<Hostile> batch(all.begin() + first, all.begin() + std::min(all.size(), first + kBatch));
        SCOPED_TRACE("cases from " + batch.front().text);
        output.clear();
        const Picture screen = Run(batch, {}, "");
        ExpectEachEndedAlone(batch, screen);
    }
}

TEST_F(ArmWall, AModuleThatMisbehavesEndsAloneAndTheNextFaultsAsBefore)
{
    const std::vector<Hostile> cases = BehaviourCases();
    // After them, a module that reads a word at an odd address still faults:
    // none of them changed the processor for the next.
    const Picture screen = Run(cases, {misaligned}, "");
    ExpectEachEndedAlone(cases, screen, 1);
    EXPECT_NE(std::string::npos, output.find("faulty_misaligned.dll stopped at 0x")) << output;
    EXPECT_NE(std::string::npos, output.find(": a misaligned access at 0x")) << output;
}

TEST_F(ArmWall, AModuleThatTricksTheWindowManagerOrGdiEndsAlone)
{
    const std::vector<Hostile> cases = HostTrickCases();
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
}

TEST_F(ArmWall, EachFormatWsprintfDoesNotTakeEndsOnlyItsModule)
{
    const std::vector<Hostile> cases = FormatCases();
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
    for (const char* why : {"a format with a conversion wsprintf does not take", "a format of more than 16"})
        EXPECT_NE(std::string::npos, output.find(why)) << output;
}

TEST_F(ArmWall, ARegistryKeyAModuleDidNotOpenEndsItAndNothingReachesTheDesktop)
{
    const std::vector<Hostile> cases = RegistryCases();
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
    EXPECT_NE(std::string::npos, output.find("no registry key it opened nor a root of the device's")) << output;
    for (const HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG})
        EXPECT_FALSE(OnTheDesktop(root, L"Software\\MesoluneHostile")) << testing::PrintToString(root);
    // The device's own roots took the keys of the modules that named them.
    for (const HKEY root : {HKEY_CLASSES_ROOT, HKEY_USERS}) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, L"Software\\MesoluneHostile", 0, KEY_READ, &key));
        RegCloseKey(key);
        RegDeleteKeyW(root, L"Software\\MesoluneHostile");
    }
}

// The installer's own places and a key that links elsewhere: a module
// reaches none, and nothing it writes through a link lands on the desktop.
TEST_F(ArmWall, AModuleReachesNeitherTheInstallersFolderNorTheDesktopThroughALink)
{
    // The folder as an installation leaves it.
    wchar_t windows[MAX_PATH], folder[MAX_PATH], kept[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows", windows, MAX_PATH));
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows\\AppMgr", folder, MAX_PATH));
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows\\AppMgr\\Hostile.dll", kept, MAX_PATH));
    MakeFolders(windows);
    const bool made = CreateDirectoryW(folder, nullptr);
    const std::vector<Hostile> cases = {{"link", "an undefined instruction", ""}, {"appmgr", "an undefined instruction", ""}};
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kept)) << "a module wrote the installer's folder";
    DeleteFileW(kept);
    if (made)
        RemoveDirectoryW(folder);
    EXPECT_FALSE(OnTheDesktop(HKEY_LOCAL_MACHINE, L"Software\\MesoluneHostileLink"));
    EXPECT_FALSE(OnTheDesktop(HKEY_LOCAL_MACHINE, L"Software\\MesoluneHostileLink\\Through"));
    HKEY through = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\MesoluneLink\\Through", 0, KEY_READ, &through) == ERROR_SUCCESS)
        RegCloseKey(through);
    EXPECT_NE(nullptr, through) << "the key it made is no plain key of the device's";
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\MesoluneLink\\Through");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\MesoluneLink");
}

// Whether the device's HKEY_LOCAL_MACHINE has the key.
bool KeyOfTheDevice(const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The installer's records and journal are its own: a module that names
// them, whatever the spelling or the key it starts from, ends.
TEST_F(ArmWall, AModuleThatNamesTheInstallersKeysEnds)
{
    const std::string create = "RegCreateKeyExW's argument 2 is 0x", open = "RegOpenKeyExW's argument 2 is 0x";
    const std::vector<Hostile> cases = {{"installer 0", create, ""}, {"installer 1", create, ""},
        {"installer 2", open, ""}, {"installer 3", "RegDeleteKeyW's argument 2 is 0x", ""}, {"installer 4", open, ""}};
    const bool recorded = KeyOfTheDevice(L"Software\\Apps\\Mesolune");
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
    size_t said = 0;
    for (size_t at = output.find("a registry key of the installer's"); at != std::string::npos;
         at = output.find("a registry key of the installer's", at + 1))
        ++said;
    EXPECT_EQ(cases.size(), said) << output;
    // Nothing made, nothing deleted, no value written.
    for (const wchar_t* key : {L"Software\\Apps\\Other", L"Software\\AppMgr\\Journal"})
        EXPECT_FALSE(KeyOfTheDevice(key)) << testing::PrintToString(std::wstring(key));
    EXPECT_EQ(recorded, KeyOfTheDevice(L"Software\\Apps\\Mesolune"));
    for (const wchar_t* path : {L"Software\\Apps\\Mesolune", L"Software\\Apps"}) {
        HKEY key = nullptr;
        DWORD value = 0, size = sizeof value;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            if (RegQueryValueExW(key, L"NoUninstall", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
                ERROR_SUCCESS)
                value = 0;
            RegCloseKey(key);
        }
        EXPECT_NE(1u, value) << testing::PrintToString(std::wstring(path));
    }
}

// The ROM is read-only to a module: a program of it opened to be deleted,
// written or emptied is looked for in the store, where it is not.
TEST_F(ArmWall, AModuleCannotDeleteOrChangeAFileOfTheRom)
{
    const std::wstring program = BinFolder() + L"devinfo.exe";
    const std::vector<char> before = ReadAll(program);
    ASSERT_FALSE(before.empty());
    const std::vector<Hostile> cases = {{"rom", "an undefined instruction", ""}};
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen);
    EXPECT_EQ(before, ReadAll(program));
    wchar_t stored[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows\\devinfo.exe", stored, MAX_PATH));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(stored));
}

struct ProcessEntry
{
    DWORD id;
    DWORD parent;
};

std::vector<ProcessEntry> Processes()
{
    std::vector<ProcessEntry> processes;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    CloseHandle(snapshot);
    return processes;
}

// No process has come since before whose parent has ended: what a Today
// screen started outlives it so, while the tests beside this one start their
// programs from processes that still run.
bool NoOrphanSince(const std::vector<ProcessEntry>& before)
{
    const std::vector<ProcessEntry> now = Processes();
    const auto among = [](const std::vector<ProcessEntry>& processes, DWORD id) {
        return std::any_of(processes.begin(), processes.end(), [id](const ProcessEntry& p) { return p.id == id; });
    };
    return std::none_of(now.begin(), now.end(),
        [&](const ProcessEntry& p) { return !among(before, p.id) && !among(now, p.parent); });
}

// The applications the device's installer has recorded.
std::vector<std::wstring> InstalledApps()
{
    std::vector<std::wstring> apps;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Apps", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return apps;
    wchar_t name[256];
    for (DWORD i = 0, length = 256; RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                    ERROR_SUCCESS;
         ++i, length = 256)
        apps.push_back(name);
    RegCloseKey(key);
    return apps;
}

// A module starts the device's own programs only, and they take the paths
// it gives them as the device's: nothing it starts reads or writes outside
// the device, or is the installer's worker.
TEST_F(ArmWall, WhatAModuleStartsStaysInTheDevice)
{
    const TempFile canary(L".png"), probed(L".txt"), cab(L".cab");
    CopyFileW((BinFolder() + L"test_told.cab").c_str(), cab.Path().c_str(), FALSE);
    const std::string canaryPath = Narrow(canary.Path()), probedPath = Narrow(probed.Path()),
                      cabPath = Narrow(cab.Path());
    const std::vector<Hostile> cases = {
        {"start cmdline_probe.exe " + probedPath, "an undefined instruction", ""},
        {"start today.exe --screenshot " + canaryPath, "an undefined instruction", ""},
        {"start ctlpnl.exe cplmain.cpl,16,1 --screenshot " + canaryPath, "an undefined instruction", ""},
        {"start wceload.exe /noui " + cabPath, "an undefined instruction", ""},
        {"start wceload.exe /worker /noui " + cabPath, "an undefined instruction", ""},
    };
    const std::vector<ProcessEntry> before = Processes();
    const std::vector<std::wstring> appsBefore = InstalledApps();
    // A Today screen the modules started that found no items registered
    // would install the ROM's calendar, as a first start does: the items stay
    // until every program the modules started has ended.
    const Picture screen = Run(cases, {}, "", L"", [&] {
        EXPECT_TRUE(waiting::Until([&] { return NoOrphanSince(before); }, "the programs the modules started to end"));
    });
    ExpectEachEndedAlone(cases, screen, 0, false, true, canaryPath);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(probed.Path().c_str())) << "a program not the device's ran";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(canary.Path().c_str())) << "a picture left the device";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(cab.Path().c_str())) << "a CAB outside the device went";
    EXPECT_EQ(appsBefore, InstalledApps()) << "a CAB outside the device was installed";
}

TEST_F(ArmWall, AModuleStoppedInItsOptionsDialogHasTheDialogEnded)
{
    const std::vector<Hostile> cases = {{"options", "a write to unmapped memory at 0x00010000", ""}};
    const Picture screen = Run(cases, {}, "", L"Hostile 0");
    ExpectEachEndedAlone(cases, screen, 0, false);
}

// Its own dialog, opened from its window procedure, reloads the Today screen:
// the module stays loaded until its code has returned, then goes. The item
// loaded again stays on the screen.
TEST_F(ArmWall, AModuleWhoseDialogIsOpenWhenTheScreenReloadsGoesWhenItReturns)
{
    const std::vector<Hostile> cases = {{"dialog", "an undefined instruction", ""}};
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen, 0, false);
}

// Random calls of the imports with random arguments, against a running Today
// screen: each module ends with its one line, whatever it was, the screen is
// as without them and nothing is left. FUZZ_SEEDS, as for the installer's
// fuzzers, sets how many: a module for each 50 (48 by default).
TEST_F(ArmWall, RandomCallsOfTheImportsEndOnlyTheirModule)
{
    const char* seeds = std::getenv("FUZZ_SEEDS");
    const unsigned count = seeds && *seeds ? static_cast<unsigned>(std::strtoul(seeds, nullptr, 10)) / 50 + 1 : 48;
    constexpr unsigned kBatch = 12;
    for (unsigned first = 0; first < count; first += kBatch) {
        std::vector<Hostile> batch;
        for (unsigned seed = first; seed < std::min(count, first + kBatch); ++seed)
            batch.push_back({"fuzz " + std::to_string(seed + 1) + " 300", "", ""});
        SCOPED_TRACE("seeds from " + std::to_string(first + 1));
        output.clear();
        const Picture screen = Run(batch, {}, "");
        ExpectEachEndedAlone(batch, screen);
    }
}

// An item that asks for a reload as it is loaded has the screen reload once
// more, not for ever: two loads, a line each.
TEST_F(ArmWall, AReloadAnItemAsksForAsItLoadsIsDoneOnce)
{
    const std::vector<Hostile> cases = {{"reload", "an undefined instruction", ""}};
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen, 1);
}

// A dialog would keep a module the reload let go of loaded for as long as
// it is open: it ends the module instead.
// On Pocket PC 2002's StrongARM, which has no BX, the calendar draws what it
// draws on the XScale, and a module that returns with BX ends at its first
// return (in its start-up) with one line that says so, and is left out.
TEST_F(ArmWall, OnTheStrongArmTheCalendarDrawsAsOnTheXscaleAndABxEndsItsModule)
{
    const PlatformOfTheRun strongArm(L"ppc2002");
    const Picture screen = Run({}, {returnsWithBx}, "");
    ExpectEachEndedAlone({}, screen, 2);
    EXPECT_NE(std::string::npos, output.find("After 0 is left out")) << output;
    EXPECT_NE(std::string::npos, output.find("crossing.dll stopped at 0x")) << output;
    EXPECT_NE(std::string::npos, output.find(": an undefined instruction, a BX, which the StrongARM SA-1110 has not"))
        << output;
}

// A module whose header asks for Windows CE 5.1 is refused, with one line,
// where the platform is older (Pocket PC 2002), and runs where it is not.
TEST_F(ArmWall, AModuleForALaterWindowsCeIsRefusedByTheOlderPlatformsLoader)
{
    std::vector<char> module = ReadAll(calendar);
    ASSERT_GT(module.size(), 0x200u);
    std::int32_t header = 0;
    std::memcpy(&header, module.data() + 0x3C, sizeof header);
    // The optional header's subsystem version, 48 bytes in.
    const std::uint16_t version[2] = {5, 1};
    std::memcpy(module.data() + header + 24 + 48, version, sizeof version);
    const TempFile later(L"-later.dll");
    {
        std::ofstream file(later.Path().c_str(), std::ios::binary);
        file.write(module.data(), static_cast<std::streamsize>(module.size()));
    }
    const struct
    {
        const wchar_t* platform;
        bool refused;
    } cases[] = {{L"ppc2002", true}, {L"wm5", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.platform));
        const PlatformOfTheRun run(c.platform);
        output.clear();
        Run({}, {later.Path()}, "");
        const bool said = output.find("After 0 is left out: cannot load " + Narrow(later.Path()) +
                                      ": it asks for Windows CE 5.1, and this device is Pocket PC 2002 "
                                      "(Windows CE 3.0)") != std::string::npos;
        EXPECT_EQ(c.refused, said) << output;
        EXPECT_EQ(c.refused, output.find("today: ") != std::string::npos) << output;
    }
}

TEST_F(ArmWall, AModuleLetGoOfOpensNoDialog)
{
    const std::vector<Hostile> cases = {
        {"redialog", "a call of DialogBoxIndirectParamW that waits for the user after the host let go of it", ""}};
    const Picture screen = Run(cases, {}, "");
    ExpectEachEndedAlone(cases, screen, 0, false);
}

} // namespace

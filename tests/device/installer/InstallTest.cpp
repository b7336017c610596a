// The device's CAB installer, as a user meets it: the calendar's CAB
// installed, upgraded and removed on a running Today screen; a setup library
// called in the platform's order and obeyed; broken CABs refused whole.
#include "DevicePath.h"
#include "DeviceProgram.h"
#include "DeviceRoot.h"
#include "OwnedHandle.h"
#include "RegistryValues.h"
#include "Utf8.h"

#include <devicefiles.h>
#include <deviceplatform.h>
#include <todaycmn.h>

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace deviceprogram;

constexpr wchar_t kItemKey[] = L"Software\\Microsoft\\Today\\Items\\Mesolune";
constexpr wchar_t kRecordKey[] = L"Software\\Apps\\Mesolune";
constexpr wchar_t kSettingsKey[] = L"Software\\Orvik\\Mesolune";
constexpr wchar_t kTestSetupKey[] = L"Software\\TestSetup";
constexpr wchar_t kKeptChoicesKey[] = L"Software\\Orvik\\Mesolune\\Today";
constexpr wchar_t kInstalledModule[] = L"\\Windows\\mesolune.dll";
constexpr wchar_t kKeptSetupLibrary[] = L"\\Windows\\AppMgr\\Mesolune.dll";

std::wstring Stored(const wchar_t* devicePath)
{
    wchar_t path[MAX_PATH];
    return DeviceStorePath(devicePath, path, MAX_PATH) ? path : L"";
}

bool FileThere(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyThere(HKEY root, const wchar_t* key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::wstring TestSetupCalls()
{
    wchar_t calls[1024] = {};
    DWORD size = sizeof calls;
    RegGetValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Calls", RRF_RT_REG_SZ, nullptr, calls, &size);
    return calls;
}

void TellTestSetup(const wchar_t* function, DWORD answer)
{
    RegSetKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, function, REG_DWORD, &answer, sizeof answer);
}

int Wceload(const std::wstring& arguments, std::string& output)
{
    return RunProgram(L"wceload.exe", arguments, output, 120000);
}

int Install(const std::wstring& cab, std::string& output)
{
    return Wceload(L"/noui /nodelete \"" + cab + L"\"", output);
}

// The window of an item of the running Today screen, once it shows (or
// null once it has gone, when gone is asked for).
HWND AwaitItem(HWND screen, const wchar_t* itemClass, bool gone = false)
{
    HWND item = nullptr;
    waiting::Until(
        [&] {
            item = FindWindowExW(screen, nullptr, itemClass, nullptr);
            return (item != nullptr) != gone;
        },
        "the Today screen's item window of class " + Utf8(itemClass) + (gone ? " to go" : ""));
    return item;
}

// The one line a program said, without its line end; all it said when that
// was not one line.
std::string OneLine(const std::string& output)
{
    const size_t end = output.find_first_of("\r\n");
    return output.find_first_not_of("\r\n", end) == std::string::npos ? output.substr(0, end) : output;
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every test starts from a device where nothing is installed, and leaves one.
class Installer : public testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean()
    {
        std::string ignored;
        Wceload(L"/uninstall Mesolune", ignored);
        RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), kRecordKey);
        RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey);
        RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey);
        // Where the removal kept the user's choices for the calendar.
        RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kKeptChoicesKey);
        DeleteFileW(Stored(kInstalledModule).c_str());
        DeleteFileW(Stored(kKeptSetupLibrary).c_str());
    }

    // Nothing of the calendar is on the device.
    static void ExpectNothingInstalled()
    {
        EXPECT_FALSE(FileThere(Stored(kInstalledModule)));
        EXPECT_FALSE(FileThere(Stored(kKeptSetupLibrary)));
        EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kItemKey));
        EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, kRecordKey));
    }

    TodayItemsOverride items;
};

struct Cab
{
    const char* name;
    std::wstring path;  // empty: not built here
    std::wstring module; // the module it carries
};

std::vector<Cab> CalendarCabs()
{
    std::vector<Cab> cabs = {{"this build's", BinFolder() + L"Mesolune.cab", BinFolder() + L"mesolune.dll"}};
    if (!CeBuildFile("").empty())
        cabs.push_back({"the ARM build's", CeBuildFile("Mesolune.cab"), CeBuildFile("mesolune.dll")});
    return cabs;
}

// Installed on a running Today screen, the calendar shows at once; installed
// again while it shows, it is replaced and shown again; removed, it goes
// with its files and its Today key, and its user's settings stay.
TEST_F(Installer, TheCalendarIsInstalledUpgradedAndRemovedOnARunningTodayScreen)
{
    for (const Cab& cab : CalendarCabs()) {
        SCOPED_TRACE(cab.name);
        items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 2);
        RunningProgram today(L"today.exe", L"");
        const HWND screen = today.WaitForWindow();
        ASSERT_NE(nullptr, screen);
        ASSERT_NE(nullptr, AwaitItem(screen, L"TestItem_tall"));

        std::string output;
        ASSERT_EQ(0, Install(cab.path, output)) << output;
        EXPECT_EQ("wceload: installed Mesolune", OneLine(output));
        const HWND first = AwaitItem(screen, L"MesoluneClass");
        EXPECT_NE(nullptr, first);
        EXPECT_EQ(ReadAll(cab.module), ReadAll(Stored(kInstalledModule)));

        ASSERT_EQ(0, Install(cab.path, output)) << output;
        EXPECT_EQ("wceload: upgraded Mesolune", OneLine(output));
        EXPECT_NE(nullptr, AwaitItem(screen, L"MesoluneClass"));
        EXPECT_TRUE(FileThere(Stored(kInstalledModule)));
        EXPECT_TRUE(FileThere(Stored(kKeptSetupLibrary)));

        const DWORD kept = 7;
        RegSetKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kSettingsKey, L"InstallTest", REG_DWORD, &kept, sizeof kept);
        ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
        EXPECT_EQ("wceload: removed Mesolune", OneLine(output));
        EXPECT_EQ(nullptr, AwaitItem(screen, L"MesoluneClass", true));
        EXPECT_NE(nullptr, FindWindowExW(screen, nullptr, L"TestItem_tall", nullptr));
        ExpectNothingInstalled();
        DWORD stayed = 0, size = sizeof stayed;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(DeviceRoot(HKEY_CURRENT_USER), kSettingsKey, L"InstallTest",
                                     RRF_RT_REG_DWORD, nullptr, &stayed, &size));
        EXPECT_EQ(kept, stayed);
        RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kSettingsKey, L"InstallTest");

        PostMessageW(screen, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, today.WaitForExit());
    }
}

// On every platform the device can be, the calendar's CABs are installed,
// upgraded and removed from their setup file; a CAB that has only
// _setup.xml installs where the platform reads that (Windows Mobile 5 and
// later) and is refused in the platform's words where it does not; a setup
// file for later versions, or for a processor that is no ARM, is refused.
TEST_F(Installer, EveryPlatformInstallsTheCalendarAndReadsOnlyWhatItsInstallerRead)
{
    for (int i = 0; DevicePlatformName(i); ++i) {
        const PlatformOfTheRun run(DevicePlatformName(i));
        DEVICE_PLATFORM platform = {};
        ASSERT_TRUE(DeviceGetPlatform(&platform));
        SCOPED_TRACE(Utf8(platform.szName));
        std::string output;
        for (const Cab& cab : CalendarCabs()) {
            SCOPED_TRACE(cab.name);
            ASSERT_EQ(0, Install(cab.path, output)) << output;
            EXPECT_EQ("wceload: installed Mesolune", OneLine(output));
            EXPECT_EQ(ReadAll(cab.module), ReadAll(Stored(kInstalledModule)));
            ASSERT_EQ(0, Install(cab.path, output)) << output;
            EXPECT_EQ("wceload: upgraded Mesolune", OneLine(output));
            ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
            EXPECT_EQ("wceload: removed Mesolune", OneLine(output));
            ExpectNothingInstalled();
        }

        const std::wstring xmlOnly = BinFolder() + L"test_version2.cab";
        const bool readsXml = (platform.dwSetupFiles & DEVICE_SETUP_XML) != 0;
        EXPECT_EQ(readsXml ? 0 : 1, Install(xmlOnly, output)) << output;
        if (readsXml) {
            ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
        } else {
            EXPECT_EQ("wceload: The file \"" + Utf8(xmlOnly) + "\" is not a valid Windows CE Setup file.",
                OneLine(output));
        }

        const bool fifthOrLater = platform.dwMajorVersion >= 5;
        EXPECT_EQ(fifthOrLater ? 0 : 1, Install(BinFolder() + L"test_wm5_only.cab", output)) << output;
        if (fifthOrLater) {
            ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
        } else {
            EXPECT_NE(std::string::npos, output.find("is for Windows CE 5.0 to 5.99, and this device is " +
                                                     Utf8(platform.szTitle)))
                << output;
        }
        EXPECT_EQ(1, Install(BinFolder() + L"test_pentium.cab", output)) << output;
        EXPECT_NE(std::string::npos, output.find("is for another processor (586) than this device's")) << output;
        ExpectNothingInstalled();
    }
}

// The setup library's four functions, called in the platform's order with
// the platform's arguments, and their answers obeyed.
TEST_F(Installer, TheSetupLibraryIsCalledInOrderAndObeyed)
{
    const std::wstring cab = BinFolder() + L"test_told.cab";
    struct Case
    {
        const char* name;
        const wchar_t* function; // told to answer 1
        int installed;           // wceload's exit code
        const wchar_t* calls;
        bool left;               // the calendar stays installed
    };
    const Case cases[] = {
        {"it goes on", nullptr, 0, L"Install_Init(0,1,0,\\Windows);Install_Exit(\\Windows,0,0,0,0,0);", true},
        {"Install_Init cancels", L"Install_Init", 1, L"Install_Init(0,1,0,\\Windows);", false},
        {"Install_Exit fails it", L"Install_Exit", 1,
            L"Install_Init(0,1,0,\\Windows);Install_Exit(\\Windows,0,0,0,0,0);", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        if (c.function)
            TellTestSetup(c.function, 1);
        std::string output;
        EXPECT_EQ(c.installed, Install(cab, output)) << output;
        EXPECT_EQ(std::wstring(c.calls), TestSetupCalls());
        if (c.left) {
            EXPECT_TRUE(FileThere(Stored(kInstalledModule)));
            EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, kItemKey));
        } else {
            ExpectNothingInstalled();
        }
    }

    // An upgrade is told so; a removal its setup cancels removes nothing;
    // one it lets go on ends with Uninstall_Exit.
    Clean();
    std::string output;
    ASSERT_EQ(0, Install(cab, output)) << output;
    ASSERT_EQ(0, Install(cab, output)) << output;
    EXPECT_NE(std::wstring::npos, TestSetupCalls().find(L";Install_Init(0,1,1,\\Windows);")) << TestSetupCalls();
    TellTestSetup(L"Uninstall_Init", 1);
    EXPECT_EQ(1, Wceload(L"/uninstall Mesolune", output));
    EXPECT_EQ("wceload: Mesolune's setup cancelled the removal; nothing was removed", OneLine(output));
    EXPECT_TRUE(FileThere(Stored(kInstalledModule)));
    TellTestSetup(L"Uninstall_Init", 0);
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Calls");
    EXPECT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
    EXPECT_EQ(L"Uninstall_Init(\\Windows);Uninstall_Exit();", TestSetupCalls());
    ExpectNothingInstalled();
}

// What the device holds, whole: every file of its store with its bytes, and
// every key and value of its registry (but the test setup library's log).
struct DeviceState
{
    std::map<std::wstring, std::vector<char>> files;
    std::map<std::wstring, std::vector<BYTE>> registry; // "key\0name" -> type and data

    bool operator==(const DeviceState&) const = default;
};

void ReadFolder(const std::wstring& folder, const std::wstring& relative, DeviceState& state)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            state.files[relative + name + L"\\"] = {};
            ReadFolder(folder + L"\\" + name, relative + name + L"\\", state);
        } else {
            state.files[relative + name] = ReadAll(folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void ReadKey(HKEY key, const std::wstring& path, DeviceState& state)
{
    // The test setup library's log, and the test items' own.
    if (path == L"HKCU\\Software\\TestSetup" || path == L"HKCU\\Software\\TestItems")
        return;
    state.registry[path] = {};
    for (const NamedValue& value : ValuesOf(key)) {
        std::vector<BYTE> data(sizeof value.type);
        std::memcpy(data.data(), &value.type, sizeof value.type);
        data.insert(data.end(), value.data.begin(), value.data.end());
        state.registry[path + L'\0' + value.name] = data;
    }
    for (const std::wstring& name : SubKeyNames(key)) {
        UniqueKey child;
        if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.Receive()) == ERROR_SUCCESS)
            ReadKey(child.Get(), path + L"\\" + name, state);
    }
}

DeviceState Now()
{
    DeviceState state;
    ReadFolder(Stored(L"\\").substr(0, Stored(L"\\").size() - 1), L"", state);
    ReadKey(DeviceRoot(HKEY_LOCAL_MACHINE), L"HKLM", state);
    ReadKey(DeviceRoot(HKEY_CURRENT_USER), L"HKCU", state);
    return state;
}

std::string Difference(const DeviceState& before, const DeviceState& after)
{
    std::string text;
    const auto narrow = [](const std::wstring& w) {
        std::string n;
        for (wchar_t c : w)
            n += c ? static_cast<char>(c) : '|';
        return n;
    };
    const auto compare = [&](const std::string& kind, const auto& was, const auto& now) {
        for (const auto& [name, bytes] : was)
            if (!now.count(name) || now.at(name) != bytes)
                text += kind + " " + narrow(name) + (now.count(name) ? " changed\n" : " gone\n");
        for (const auto& [name, bytes] : now)
            if (!was.count(name))
                text += kind + " " + narrow(name) + " new\n";
    };
    compare("file", before.files, after.files);
    compare("registry", before.registry, after.registry);
    return text;
}

// A file outside the device (beside its store), which no CAB may reach.
class Outside
{
public:
    Outside() : path_(Stored(L"\\").substr(0, Stored(L"\\").size() - 1) + L"-victim.txt")
    {
        WriteTextFile(path_, "the user's");
    }
    ~Outside() { DeleteFileW(path_.c_str()); }
    bool Untouched() const
    {
        const std::vector<char> bytes = ReadAll(path_);
        return std::string(bytes.begin(), bytes.end()) == "the user's";
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// A copy of a CAB with one of its header's words changed.
void Patched(const std::wstring& from, const std::wstring& to, size_t at, std::uint16_t word)
{
    std::vector<char> bytes = ReadAll(from);
    std::memcpy(bytes.data() + at, &word, sizeof word);
    std::ofstream file(to.c_str(), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A CAB that is cut short, that reaches out of the device (a file outside
// its folder, a folder that is not the device's, the installer's own
// registry keys), that names a file as no file may be named, that lacks a
// member, whose document is not well-formed or asks for what the installer
// does not do, or that goes past the installer's limits, installs nothing,
// changes nothing on the device or outside it, and says why in one line.
TEST_F(Installer, ABrokenOrHostileCabIsRefusedWholeAndSaysWhyInOneLine)
{
    TempFile cut(L".cab"), lzx(L".cab"), set(L".cab"), path(L".cab");
    {
        const std::vector<char> whole = ReadAll(BinFolder() + L"Mesolune.cab");
        std::ofstream file(cut.Path().c_str(), std::ios::binary);
        file.write(whole.data(), static_cast<std::streamsize>(whole.size() / 2));
    }
    // The first folder's compression (LZX), and the header's flags (a next cabinet).
    Patched(BinFolder() + L"test_told.cab", lzx.Path(), 36 + 6, 3);
    Patched(BinFolder() + L"test_told.cab", set.Path(), 30, 2);
    // The first member's name made a path ("x\..."): its name lies 16 bytes into
    // its entry, which the header's word at 16 places.
    {
        const std::vector<char> told = ReadAll(BinFolder() + L"test_told.cab");
        std::uint32_t files = 0;
        std::memcpy(&files, told.data() + 16, sizeof files);
        Patched(BinFolder() + L"test_told.cab", path.Path(), files + 16, 'x' | '\\' << 8);
    }
    const struct
    {
        std::wstring cab;
        const char* why;
    } cases[] = {
        {cut.Path(), "is cut short"},
        {BinFolder() + L"test_escape.cab", "puts a file outside its folder"},
        {BinFolder() + L"test_missing.cab", "lacks absent.001, which it extracts to \\Windows\\mesolune.dll"},
        {BinFolder() + L"test_malformed.cab", "_setup.xml is not well-formed XML (line 7)"},
        {BinFolder() + L"test_apps.cab", "writes a registry key it may not: HKLM\\Software\\Apps\\Other"},
        {BinFolder() + L"test_appmgr.cab", "writes a registry key it may not: HKLM\\SOFTWARE\\AppMgr\\Journal"},
        {BinFolder() + L"test_installdir.cab", "installs into a folder it may not: %CE2%\\..\\.."},
        {BinFolder() + L"test_appmgr_folder.cab", "installs into a folder it may not: %CE2%\\AppMgr"},
        {BinFolder() + L"test_foreign_setup.cab",
            "is built for the desktop's processor and is no library of the device's own build, so it does not run"},
        {BinFolder() + L"test_name_con.cab", "names it as no file may be named: %CE2%\\CON"},
        {BinFolder() + L"test_name_com1.cab", "names it as no file may be named: %CE2%\\com1.dll"},
        {BinFolder() + L"test_name_trailingdot.cab", "names it as no file may be named: %CE2%\\name."},
        {BinFolder() + L"test_name_trailingspace.cab", "names it as no file may be named: %CE2%\\name "},
        {BinFolder() + L"test_nocharacteristic.cab", "does not do: nocharacteristic Registry"},
        {BinFolder() + L"test_unknownparm.cab", "has a parm the installer does not know: RunAfterInstall"},
        {BinFolder() + L"test_operation.cab", "does not do: parm"},
        {BinFolder() + L"test_octal.cab", "is no integer (decimal, or hexadecimal after 0x): 1e3"},
        {BinFolder() + L"test_large.cab", "holds more than the installer unpacks (16 MB a member, 64 MB in all)"},
        {BinFolder() + L"test_many.cab", "holds 257 members, more than the installer's 256"},
        {BinFolder() + L"test_bigxml.cab", "_setup.xml is larger than the installer reads (256 KB)"},
        {BinFolder() + L"test_repeated.cab", "would write more than 64 MB into the device; nothing was installed"},
        {lzx.Path(), "is compressed in a way the installer does not take (only MSZIP or none)"},
        {set.Path(), "is one of a set of cabinets, which the installer does not take"},
        {path.Path(), "holds a member whose name is no plain file name: x\\"},
    };
    const Outside outside;
    const DeviceState before = Now();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string output;
        EXPECT_EQ(1, Install(c.cab, output));
        const std::string line = OneLine(output);
        EXPECT_EQ(0u, line.find("wceload: ")) << output;
        EXPECT_NE(std::string::npos, line.find(c.why)) << output;
        EXPECT_EQ(std::string::npos, line.find('\n')) << output;
        EXPECT_EQ(L"", TestSetupCalls());
        ExpectNothingInstalled();
        EXPECT_EQ("", Difference(before, Now()));
        EXPECT_TRUE(outside.Untouched());
    }
}

// Integers are decimal, even with a leading zero, or hexadecimal after 0x;
// a second version's shortcut is made and goes with it.
TEST_F(Installer, NumbersAreDecimalOrHexadecimalAndShortcutsComeAndGo)
{
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_version2.cab", output)) << output;
    for (const auto& [name, value] : {std::pair{L"Order", 10u}, {L"Version", 32u}}) {
        DWORD number = 0, size = sizeof number;
        EXPECT_EQ(ERROR_SUCCESS,
            RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size));
        EXPECT_EQ(value, number);
    }
    const std::vector<char> link = ReadAll(Stored(L"\\Windows\\Start Menu\\Programs\\Mesolune.lnk"));
    EXPECT_EQ("23#\"\\Windows\\mesolune.dll\"", std::string(link.begin(), link.end()));
    ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
    EXPECT_FALSE(FileThere(Stored(L"\\Windows\\Start Menu\\Programs\\Mesolune.lnk")));
    EXPECT_FALSE(FileThere(Stored(L"\\Program Files\\Mesolune")));
}

// An upgrade removes the installed version first, its own setup library
// asked, then installs the new one as installed before: a file that changed
// case is there, one the new version lacks is gone.
TEST_F(Installer, AnUpgradeRemovesTheInstalledVersionThenInstallsTheNew)
{
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_version2.cab", output)) << output;
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Calls");
    ASSERT_EQ(0, Install(BinFolder() + L"test_told.cab", output)) << output;
    EXPECT_EQ("wceload: upgraded Mesolune", OneLine(output));
    EXPECT_EQ(L"Uninstall_Init(\\Windows);Uninstall_Exit();Install_Init(0,1,1,\\Windows);"
              L"Install_Exit(\\Windows,0,0,0,0,0);",
        TestSetupCalls());
    EXPECT_TRUE(FileThere(Stored(kInstalledModule)));
    EXPECT_FALSE(FileThere(Stored(L"\\Program Files\\Mesolune\\version2.dat")));
    EXPECT_FALSE(FileThere(Stored(L"\\Windows\\Start Menu\\Programs\\Mesolune.lnk")));
    DWORD version = 0, size = sizeof version;
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, L"Version", RRF_RT_REG_DWORD,
                                 nullptr, &version, &size));
}

// A setup library that cancels, fails, crashes, hangs or answers garbage,
// built for this processor or for ARM, in a first install or an upgrade:
// the device is as it was before, byte for byte, and the CAB is kept.
TEST_F(Installer, AFailingSetupLibraryLeavesTheDeviceAsItWas)
{
    constexpr DWORD kCrash = 0xDEAD, kHang = 0x4A46, kGarbage = 0x6A6B;
    std::vector<std::pair<const char*, std::wstring>> cabs = {{"this build's", BinFolder() + L"test_told.cab"}};
    if (const std::wstring arm = CeBuildFile("test-items/test_told_arm.cab"); !arm.empty())
        cabs.push_back({"the ARM build's", arm});
    const struct
    {
        const wchar_t* function;
        DWORD answer;
        bool upgrade;
    } cases[] = {
        {L"Install_Init", 1, false}, {L"Install_Init", kCrash, false}, {L"Install_Init", kGarbage, false},
        {L"Install_Exit", 1, false}, {L"Install_Exit", kCrash, false}, {L"Install_Exit", kGarbage, true},
        {L"Install_Exit", kHang, false}, {L"Uninstall_Init", 1, true}, {L"Uninstall_Init", kCrash, true},
        {L"Install_Exit", 1, true},
    };
    for (const auto& [arch, cab] : cabs) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(arch) + " " + std::string(c.function, c.function + wcslen(c.function)) + " " +
                         std::to_string(c.answer) + (c.upgrade ? " upgrade" : ""));
            Clean();
            // What was there before: a module of another's, a value of the user's.
            WriteTextFile(Stored(L"\\Windows\\mesolune.dll"), "another module");
            const DWORD order = 9;
            RegSetKeyValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, L"Order", REG_DWORD, &order, sizeof order);
            std::string output;
            if (c.upgrade) {
                ASSERT_EQ(0, Install(cab, output)) << output;
            }
            TellTestSetup(c.function, c.answer);
            const DeviceState before = Now();
            EXPECT_EQ(1, Install(cab, output));
            EXPECT_EQ("", Difference(before, Now())) << output;
            EXPECT_TRUE(FileThere(cab));
            RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, c.function);
        }
    }
}

// Killed in the middle of an installation, the installer's change is undone
// at the Today screen's next start.
TEST_F(Installer, AnInstallerKilledMidwayIsUndoneAtTheNextStart)
{
    TellTestSetup(L"Install_Exit", 0x4A46);
    const DeviceState before = Now();
    {
        RunningProgram installer(L"wceload.exe", L"/noui /nodelete \"" + BinFolder() + L"test_told.cab\"");
        ASSERT_TRUE(waiting::Until([] { return TestSetupCalls().find(L"Install_Exit") != std::wstring::npos; },
            "the setup library's Install_Exit"));
        EXPECT_TRUE(FileThere(Stored(kInstalledModule)));
    }
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Install_Exit");
    EXPECT_TRUE(KeyThere(HKEY_LOCAL_MACHINE, L"Software\\AppMgr\\Journal"));
    TempFile png(L".png");
    std::string output;
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 2);
    EXPECT_EQ(0, RunProgram(L"today.exe", L"--screenshot \"" + png.Path() + L"\"", output)) << output;
    RegDeleteTreeW(DeviceRoot(HKEY_LOCAL_MACHINE), L"Software\\Microsoft\\Today\\Items");
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, L"Software\\AppMgr\\Journal"));
    EXPECT_EQ("", Difference(before, Now()));
}

// The installer's worker: the wceload.exe beside its supervisor; null when
// none runs.
HANDLE OpenWorker(DWORD supervisor)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    std::vector<PROCESSENTRY32W> installers;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"wceload.exe") == 0)
            installers.push_back(entry);
    CloseHandle(snapshot);
    for (const PROCESSENTRY32W& worker : installers)
        if (worker.th32ProcessID != supervisor)
            return OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, worker.th32ProcessID);
    return nullptr;
}

// A worker killed in the middle of an upgrade, with the status of one that
// finished: its supervisor undoes the change at once and says it failed.
TEST_F(Installer, AWorkerKilledMidwayIsUndoneAndTheInstallationFails)
{
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_told.cab", output)) << output;
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Calls");
    TellTestSetup(L"Install_Exit", 0x4A46);
    const DeviceState before = Now();
    const TempFile log(L".txt");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE file = CreateFileW(log.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
        CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    int exitCode = -1;
    {
        RunningProgram installer(L"wceload.exe", L"/noui /nodelete \"" + BinFolder() + L"test_told.cab\"", file);
        ASSERT_TRUE(waiting::Until([] { return TestSetupCalls().find(L"Install_Exit") != std::wstring::npos; },
            "the setup library's Install_Exit"));
        const HANDLE worker = OpenWorker(installer.Id());
        ASSERT_NE(nullptr, worker);
        TerminateProcess(worker, 0);
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        exitCode = installer.WaitForExit();
    }
    CloseHandle(file);
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Install_Exit");
    std::ifstream said(log.Path().c_str());
    const std::string lines((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
    EXPECT_EQ(1, exitCode) << lines;
    EXPECT_NE(std::string::npos, lines.find("did not finish and was undone")) << lines;
    EXPECT_FALSE(KeyThere(HKEY_LOCAL_MACHINE, L"Software\\AppMgr\\Journal"));
    EXPECT_EQ("", Difference(before, Now()));
}

// What the calendar installed is its own: another CAB that would write its
// module or one of its registry values (in whatever case) is refused whole.
TEST_F(Installer, ACabThatWouldTakeOverAnothersFilesOrValuesIsRefused)
{
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_told.cab", output)) << output;
    const struct
    {
        const wchar_t* cab;
        const char* says;
    } claims[] = {
        {L"test_claim_file.cab", "(\\Windows\\MESOLUNE.dll is Mesolune's)"},
        {L"test_claim_value.cab", "(the registry value HKLM\\Software\\Microsoft\\Today\\Items\\mesolune\\dll is Mesolune's)"},
    };
    for (const auto& claim : claims) {
        SCOPED_TRACE(Utf8(claim.cab));
        const DeviceState before = Now();
        EXPECT_EQ(1, Install(BinFolder() + claim.cab, output));
        EXPECT_NE(std::string::npos, output.find("would take over what another application installed")) << output;
        EXPECT_NE(std::string::npos, output.find(claim.says)) << output;
        EXPECT_EQ("", Difference(before, Now()));
    }
}

// What an ARM setup library changes itself belongs to its installation: a
// failed installation, first or upgrade, undoes it; and what another
// application installed it may not change: it stops with one line, and its
// installation fails with the device as it was.
TEST_F(Installer, AnArmSetupLibrarysOwnChangesGoWithItsFailedInstallationAndSpareAnothers)
{
    SKIP_WITHOUT_CE_BUILD();
    const std::wstring armCabs = CeBuildFile("test-items/");
    // What the test setup library is told to do (TestSetup.cpp).
    constexpr DWORD kChangeDevice = 0xC4A6, kEmptyModule = 0xE3D1;
    const struct
    {
        const char* name;
        const wchar_t* cab;
        const wchar_t* first; // what is installed before, from this build's CABs
        const wchar_t* function;
        DWORD told;
        const char* says;
    } cases[] = {
        {"its own changes, first install", L"test_told_arm.cab", nullptr, L"Install_Exit", kChangeDevice,
            "the installation of Mesolune failed; the device is as it was"},
        {"its own changes, upgrade", L"test_told_arm.cab", L"test_told.cab", L"Install_Exit", kChangeDevice,
            "the installation of Mesolune failed; the device is as it was"},
        {"another's module", L"test_other_setup_arm.cab", L"test_told.cab", L"Install_Init", kEmptyModule,
            "\\Windows\\mesolune.dll is Mesolune's"},
        {"another's Today key", L"test_other_setup_arm.cab", L"test_told.cab", L"Install_Exit", kChangeDevice,
            "the registry key HKLM\\Software\\Microsoft\\Today\\Items\\Mesolune is Mesolune's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        std::string output;
        if (c.first) {
            ASSERT_EQ(0, Install(BinFolder() + c.first, output)) << output;
        }
        TellTestSetup(c.function, c.told);
        const DeviceState before = Now();
        EXPECT_EQ(1, Install(armCabs + c.cab, output)) << output;
        EXPECT_NE(std::string::npos, output.find(c.says)) << output;
        EXPECT_EQ("", Difference(before, Now())) << output;
        Wceload(L"/uninstall SetupOther", output);
    }
}

// Every key an installation made goes with it, the keys above its own
// included, and no key that was there before.
TEST_F(Installer, TheKeysAnInstallationMadeGoWithItParentsIncluded)
{
    const wchar_t* const top = L"Software\\MesoluneParents";
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), top);
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_parents.cab", output)) << output;
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, L"Software\\MesoluneParents\\Middle\\Leaf"));
    EXPECT_EQ(0, Wceload(L"/uninstall Parents", output)) << output;
    EXPECT_FALSE(KeyThere(HKEY_CURRENT_USER, top)) << "a key the installation made above its own was left";
    EXPECT_TRUE(KeyThere(HKEY_CURRENT_USER, L"Software"));
}

// A record anyone may have written: what it names outside the device stays
// where it is, a setup library it names anywhere else is not run, and the
// rest is removed.
TEST_F(Installer, ATamperedRecordRemovesOnlyWhatIsTheDevices)
{
    std::string output;
    ASSERT_EQ(0, Install(BinFolder() + L"test_told.cab", output)) << output;
    const Outside outside;
    const std::wstring escape = L"\\..\\" + outside.Path().substr(outside.Path().find_last_of(L'\\') + 1);
    const auto append = [](const wchar_t* list, const std::vector<std::wstring>& entries) {
        wchar_t strings[4096] = {};
        DWORD size = sizeof strings - sizeof(wchar_t) * 1024;
        RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kRecordKey, list, RRF_RT_REG_MULTI_SZ, nullptr, strings, &size);
        std::wstring joined(strings, size / sizeof(wchar_t));
        while (!joined.empty() && joined.back() == L'\0')
            joined.pop_back();
        for (const std::wstring& entry : entries)
            joined += (joined.empty() ? L"" : std::wstring(1, L'\0')) + entry;
        joined += std::wstring(2, L'\0');
        RegSetKeyValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kRecordKey, list, REG_MULTI_SZ, joined.c_str(),
            static_cast<DWORD>(joined.size() * sizeof(wchar_t)));
    };
    append(L"Files", {escape, L"\\Windows\\..\\..\\x"});
    const std::wstring setup = L"\\..\\..\\elsewhere.dll";
    RegSetKeyValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kRecordKey, L"SetupDll", REG_SZ, setup.c_str(),
        static_cast<DWORD>((setup.size() + 1) * sizeof(wchar_t)));
    append(L"Keys", {L"HKLM\\Software\\Apps\\Other"});
    RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTestSetupKey, L"Calls");
    ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
    EXPECT_TRUE(outside.Untouched());
    EXPECT_NE(std::string::npos, output.find("names what is not the device's: " + std::string(escape.begin(),
                                                                                   escape.end())))
        << output;
    EXPECT_NE(std::string::npos, output.find("names a setup library the installer did not keep")) << output;
    EXPECT_EQ(L"", TestSetupCalls());
    ExpectNothingInstalled();
}

// Where the user had the calendar on the Today screen, switched off at its
// place, stays so through an upgrade, and through a removal and an install.
TEST_F(Installer, WhereTheUserHadTheCalendarSurvivesAnUpgrade)
{
    std::string output;
    const std::wstring cab = BinFolder() + L"Mesolune.cab";
    ASSERT_EQ(0, Install(cab, output)) << output;
    const DWORD off = 0, order = 5;
    RegSetKeyValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, L"Enabled", REG_DWORD, &off, sizeof off);
    RegSetKeyValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, L"Order", REG_DWORD, &order, sizeof order);
    for (const wchar_t* step : {L"upgrade", L"removal and install"}) {
        SCOPED_TRACE(std::string(step, step + wcslen(step)));
        if (std::wstring(step) != L"upgrade") {
            ASSERT_EQ(0, Wceload(L"/uninstall Mesolune", output)) << output;
        }
        ASSERT_EQ(0, Install(cab, output)) << output;
        for (const auto& [name, value] : {std::pair{L"Enabled", off}, {L"Order", order}}) {
            DWORD number = 99, size = sizeof number;
            RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), kItemKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size);
            EXPECT_EQ(value, number);
        }
    }
}

// Without /nodelete the CAB goes once it is installed, as on a device.
TEST_F(Installer, AnInstalledCabIsDeletedUnlessKept)
{
    TempFile copy(L".cab");
    ASSERT_TRUE(CopyFileW((BinFolder() + L"Mesolune.cab").c_str(), copy.Path().c_str(), FALSE));
    std::string output;
    ASSERT_EQ(0, Wceload(L"/noui \"" + copy.Path() + L"\"", output)) << output;
    EXPECT_FALSE(FileThere(copy.Path()));
}

} // namespace

// The device's CAB installer, as a user meets it: the calendar's CAB
// installed, upgraded and removed on a running Today screen; a setup library
// called in the platform's order and obeyed; broken CABs refused whole.
#include "DevicePath.h"
#include "DeviceProgram.h"
#include "DeviceRoot.h"

#include <devicefiles.h>
#include <todaycmn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace deviceprogram;

constexpr wchar_t kItemKey[] = L"Software\\Microsoft\\Today\\Items\\Mesolune";
constexpr wchar_t kRecordKey[] = L"Software\\Apps\\Mesolune";
constexpr wchar_t kSettingsKey[] = L"Software\\Orvik\\Mesolune";
constexpr wchar_t kTestSetupKey[] = L"Software\\TestSetup";
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
    for (int i = 0; i < 400; ++i) {
        item = FindWindowExW(screen, nullptr, itemClass, nullptr);
        if ((item != nullptr) != gone)
            break;
        Sleep(25);
    }
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
    const char* ceBuild = std::getenv("MESOLUNE_CE_DIR");
    const std::string ce = ceBuild ? ceBuild : "";
    if (!ce.empty()) {
        const std::wstring folder = DevicePath(std::wstring(ce.begin(), ce.end())) + L"\\";
        cabs.push_back({"the ARM build's", folder + L"Mesolune.cab", folder + L"mesolune.dll"});
    }
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

// A CAB that is cut short, that puts a file outside its folder, that lacks
// a member its document extracts, or whose document is not well-formed,
// installs nothing and says why in one line.
TEST_F(Installer, ABrokenCabInstallsNothingAndSaysWhyInOneLine)
{
    TempFile cut(L".cab");
    {
        const std::vector<char> whole = ReadAll(BinFolder() + L"Mesolune.cab");
        std::ofstream file(cut.Path().c_str(), std::ios::binary);
        file.write(whole.data(), static_cast<std::streamsize>(whole.size() / 2));
    }
    const struct
    {
        std::wstring cab;
        const char* why;
    } cases[] = {
        {cut.Path(), "is cut short"},
        {BinFolder() + L"test_escape.cab", "puts a file outside its folder: %CE2%\\..\\..\\escaped.dll"},
        {BinFolder() + L"test_missing.cab", "lacks absent.001, which _setup.xml extracts to \\Windows\\mesolune.dll"},
        {BinFolder() + L"test_malformed.cab", "_setup.xml is not well-formed XML (line 7)"},
    };
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
        EXPECT_FALSE(FileThere(Stored(L"\\escaped.dll")));
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

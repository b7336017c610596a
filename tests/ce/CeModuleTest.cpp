// The module built for Windows CE devices on ARM (make ce), read as the
// device's loader would read it: no ARM Windows CE machine runs here. The
// folder of that build is MESOLUNE_CE_DIR; without it the tests are skipped.
#include "DeviceProgram.h"
#include "DevicePath.h"
#include "PeImage.h"
#include "WindowsCeImports.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr WORD kMachineArm = 0x01C0;
constexpr WORD kSubsystemWindowsCeGui = 9;

class CeModule : public testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_CE_BUILD();
        const std::wstring path = deviceprogram::CeBuildFile("mesolune.dll");
        ce = peimage::PeImage::FromFile(path);
        ASSERT_TRUE(ce.Valid()) << std::string(path.begin(), path.end());
        desktop = peimage::PeImage::FromFile(deviceprogram::BinFolder() + L"mesolune.dll");
        ASSERT_TRUE(desktop.Valid());
    }

    peimage::PeImage ce;
    peimage::PeImage desktop;
};

TEST_F(CeModule, IsAWindowsCeArmModule)
{
    EXPECT_EQ(kMachineArm, ce.Machine());
    EXPECT_EQ(kSubsystemWindowsCeGui, ce.Subsystem());
}

TEST_F(CeModule, TwoExportsByOrdinalOnly)
{
    EXPECT_EQ("mesolune.dll 240 241", windowsce::ExportLine(ce));
}

TEST_F(CeModule, NeedsNothingButTheDevicesSystemLibraries)
{
    EXPECT_EQ(std::vector<std::string>{}, windowsce::Unresolvable(ce));
    EXPECT_EQ((std::set<std::string>{"aygshell.dll", "commctrl.dll", "commdlg.dll", "coredll.dll"}),
        windowsce::Libraries(ce));
}

TEST_F(CeModule, IsAtMost32Kilobytes)
{
    EXPECT_LE(ce.FileSize(), 32u * 1024u);
}

TEST_F(CeModule, HoldsTheResourcesOfTheDesktopBuild)
{
    const auto same = [&](LPCWSTR type, LPCWSTR name) {
        const std::vector<BYTE> expected = desktop.Resource(type, name);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(expected, ce.Resource(type, name));
    };
    same(RT_DIALOG, MAKEINTRESOURCEW(500));
    same(L"CEUX", L"HI_RES_AWARE");
    for (WORD id = 102; id <= 105; ++id) {
        SCOPED_TRACE(id);
        same(RT_GROUP_ICON, MAKEINTRESOURCEW(id));
        // Each group's one image, by the id the group names.
        const std::vector<BYTE> group = ce.Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(id));
        ASSERT_GE(group.size(), 20u);
        same(RT_ICON, MAKEINTRESOURCEW(*reinterpret_cast<const WORD*>(&group[18])));
    }
}

} // namespace

// The setup library of either build: the installer's four functions by name,
// and only what a device's libraries export.
TEST(SetupLibrary, ExportsTheInstallersFunctionsAndImportsOnlyWhatADeviceExports)
{
    std::vector<std::wstring> builds = {deviceprogram::BinFolder() + L"mesolune_setup.dll"};
    if (const std::wstring arm = deviceprogram::CeBuildFile("mesolune_setup.dll"); !arm.empty())
        builds.push_back(arm);
    for (const std::wstring& path : builds) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        const peimage::PeImage image = peimage::PeImage::FromFile(path);
        ASSERT_TRUE(image.Valid());
        std::set<std::string> names;
        for (const peimage::Export& e : image.Exports())
            names.insert(e.name);
        EXPECT_EQ((std::set<std::string>{"Install_Exit", "Install_Init", "Uninstall_Exit", "Uninstall_Init"}), names);
        EXPECT_EQ(std::vector<std::string>{}, windowsce::Unresolvable(image));
        EXPECT_EQ(std::set<std::string>{"coredll.dll"}, windowsce::Libraries(image));
    }
}

// The module file: its exports, imports and resources.
#include "DeviceProgram.h"
#include "PeImage.h"
#include "WindowsCeImports.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

class MesolunePe : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Mapped as an image without running its entry or binding its imports.
        module = LoadLibraryExW((deviceprogram::BinFolder() + L"mesolune.dll").c_str(), nullptr,
            DONT_RESOLVE_DLL_REFERENCES);
    }

    static HMODULE module;
};

HMODULE MesolunePe::module = nullptr;

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

TEST_F(MesolunePe, TwoExportsByOrdinalOnly)
{
    const peimage::PeImage image = peimage::PeImage::FromFile(deviceprogram::BinFolder() + L"mesolune.dll");
    ASSERT_TRUE(image.Valid());
    EXPECT_EQ("mesolune.dll 240 241", windowsce::ExportLine(image));
}

TEST(WindowsCeExportLists, HoldTheDeviceLibrariesNames)
{
    EXPECT_TRUE(windowsce::Exports("coredll.dll").count("CreateWindowExW"));
    EXPECT_TRUE(windowsce::Exports("coredll.dll").count("wsprintfW"));
    EXPECT_TRUE(windowsce::Exports("aygshell.dll").count("SHRecognizeGesture"));
    EXPECT_TRUE(windowsce::Exports("commctrl.dll").count("InitCommonControls"));
    EXPECT_EQ((std::set<std::string>{"ChooseColor", "ChooseFontW", "CommDlgExtendedError", "PageSetupDlgW",
                  "PrintDlg"}),
        windowsce::Exports("commdlg.dll"));
    EXPECT_TRUE(windowsce::Exports("kernel32.dll").empty());
}

TEST_F(MesolunePe, ImportsOnlyWhatADeviceExports)
{
    const peimage::PeImage image = peimage::PeImage::FromFile(deviceprogram::BinFolder() + L"mesolune.dll");
    ASSERT_TRUE(image.Valid());
    EXPECT_EQ(std::vector<std::string>{}, windowsce::Unresolvable(image));
    EXPECT_EQ((std::set<std::string>{"aygshell.dll", "commctrl.dll", "commdlg.dll", "coredll.dll"}),
        windowsce::Libraries(image));
    std::map<std::string, std::set<std::string>> byLibrary;
    for (const peimage::Import& import : image.Imports())
        byLibrary[import.library].insert(import.name);
    for (const char* f : {"RegOpenKeyExW", "CreateWindowExW", "GetLocalTime", "DrawTextW", "BitBlt", "wsprintfW",
             "WaitForSingleObject", "malloc", "free"})
        EXPECT_TRUE(byLibrary["coredll.dll"].count(f)) << f;
    EXPECT_EQ(std::set<std::string>{"ChooseColor"}, byLibrary["commdlg.dll"]);
    EXPECT_EQ(std::set<std::string>{"InitCommonControls"}, byLibrary["commctrl.dll"]);
}

TEST_F(MesolunePe, IsAtMost64Kilobytes)
{
    const peimage::PeImage image = peimage::PeImage::FromFile(deviceprogram::BinFolder() + L"mesolune.dll");
    ASSERT_TRUE(image.Valid());
    EXPECT_LE(image.FileSize(), 64u * 1024u);
}

TEST_F(MesolunePe, TheBellsAreOneImageIconsOf256Colours)
{
    ASSERT_NE(nullptr, module);
    for (int id : {102, 103, 104, 105}) {
        SCOPED_TRACE(id);
        HRSRC group = FindResourceExW(module, RT_GROUP_ICON, MAKEINTRESOURCEW(id), kRussian);
        ASSERT_NE(nullptr, group);
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
        ASSERT_NE(nullptr, dir);
        EXPECT_EQ(1, *reinterpret_cast<const WORD*>(dir + 2)); // icons
        EXPECT_EQ(1, *reinterpret_cast<const WORD*>(dir + 4)); // one image
        const BYTE* entry = dir + 6;
        const int size = id == 102 || id == 104 ? 32 : 16;
        EXPECT_EQ(size, entry[0]);
        EXPECT_EQ(size, entry[1]);
        EXPECT_EQ(8, *reinterpret_cast<const WORD*>(entry + 6)); // bits per pixel
        const WORD imageId = *reinterpret_cast<const WORD*>(entry + 12);
        HRSRC image = FindResourceExW(module, RT_ICON, MAKEINTRESOURCEW(imageId), kRussian);
        ASSERT_NE(nullptr, image);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
        EXPECT_EQ(size, header->biWidth);
        EXPECT_EQ(2 * size, header->biHeight);
        EXPECT_EQ(8, header->biBitCount);
    }
}

TEST_F(MesolunePe, TheHighResolutionMarker)
{
    ASSERT_NE(nullptr, module);
    HRSRC marker = FindResourceExW(module, L"CEUX", L"HI_RES_AWARE", kRussian);
    ASSERT_NE(nullptr, marker);
    ASSERT_EQ(2u, SizeofResource(module, marker));
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, marker)));
    EXPECT_EQ(0x01, bytes[0]);
    EXPECT_EQ(0x00, bytes[1]);
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::set<WORD>*>(context)->insert(language);
    return TRUE;
}

BOOL CALLBACK CollectNames(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context)
{
    EnumResourceLanguagesW(module, type, name, CollectLanguage, context);
    return TRUE;
}

BOOL CALLBACK CollectTypes(HMODULE module, LPWSTR type, LONG_PTR context)
{
    EnumResourceNamesW(module, type, CollectNames, context);
    return TRUE;
}

TEST_F(MesolunePe, EveryResourceIsRussian)
{
    ASSERT_NE(nullptr, module);
    std::set<WORD> languages;
    EnumResourceTypesW(module, CollectTypes, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ((std::set<WORD>{kRussian}), languages);
}

} // namespace

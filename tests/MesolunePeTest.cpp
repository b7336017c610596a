// The module file: its exports, imports and resources.
#include "DeviceProgram.h"
#include "PeImage.h"

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
    EXPECT_EQ("mesolune.dll", image.ExportName());
    const std::vector<peimage::Export> exports = image.Exports();
    ASSERT_EQ(2u, exports.size());
    EXPECT_EQ(240u, exports[0].ordinal);
    EXPECT_EQ(241u, exports[1].ordinal);
    EXPECT_EQ("", exports[0].name);
    EXPECT_EQ("", exports[1].name);
}

// The names a Windows CE system library exports, from the list built into
// this program; empty for a library that is not one of the device's.
std::set<std::string> WindowsCeExports(const std::string& library)
{
    std::string resource = library.substr(0, library.find('.'));
    for (char& c : resource)
        c = static_cast<char>(toupper(c));
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC list = FindResourceA(self, resource.c_str(), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!list)
        return {};
    const char* text = static_cast<const char*>(LockResource(LoadResource(self, list)));
    std::set<std::string> names;
    std::string name;
    for (DWORD i = 0, size = SizeofResource(self, list); i < size; ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            if (!name.empty())
                names.insert(name);
            name.clear();
        } else {
            name += text[i];
        }
    }
    if (!name.empty())
        names.insert(name);
    return names;
}

TEST(WindowsCeExportLists, HoldTheDeviceLibrariesNames)
{
    EXPECT_TRUE(WindowsCeExports("coredll.dll").count("CreateWindowExW"));
    EXPECT_TRUE(WindowsCeExports("aygshell.dll").count("SHRecognizeGesture"));
    EXPECT_TRUE(WindowsCeExports("commctrl.dll").count("InitCommonControls"));
    EXPECT_EQ((std::set<std::string>{"ChooseColor", "ChooseFontW", "CommDlgExtendedError", "PageSetupDlgW",
                  "PrintDlg"}),
        WindowsCeExports("commdlg.dll"));
    EXPECT_TRUE(WindowsCeExports("kernel32.dll").empty());
}

TEST_F(MesolunePe, ImportsOnlyWhatADeviceExports)
{
    const peimage::PeImage image = peimage::PeImage::FromFile(deviceprogram::BinFolder() + L"mesolune.dll");
    ASSERT_TRUE(image.Valid());
    const std::vector<peimage::Import> imports = image.Imports();
    std::map<std::string, std::set<std::string>> byLibrary;
    for (const peimage::Import& import : imports) {
        SCOPED_TRACE(import.library + " " + import.name);
        EXPECT_FALSE(import.name.empty()) << "ordinal " << import.ordinal;
        EXPECT_TRUE(WindowsCeExports(import.library).count(import.name));
        byLibrary[import.library].insert(import.name);
    }
    std::set<std::string> libraries;
    for (const auto& entry : byLibrary)
        libraries.insert(entry.first);
    EXPECT_EQ((std::set<std::string>{"aygshell.dll", "commctrl.dll", "commdlg.dll", "coredll.dll"}), libraries);
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

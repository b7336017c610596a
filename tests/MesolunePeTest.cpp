// The module file: its exports, imports and resources.
#include "DeviceProgram.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

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

    static const BYTE* Base() { return reinterpret_cast<const BYTE*>(module); }

    static const IMAGE_DATA_DIRECTORY& Directory(int index)
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(Base() + dos->e_lfanew);
        return nt->OptionalHeader.DataDirectory[index];
    }

    static HMODULE module;
};

HMODULE MesolunePe::module = nullptr;

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

TEST_F(MesolunePe, TwoExportsByOrdinalOnly)
{
    ASSERT_NE(nullptr, module);
    const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(0u, dir.VirtualAddress);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(Base() + dir.VirtualAddress);
    EXPECT_STREQ("mesolune.dll", reinterpret_cast<const char*>(Base() + exports->Name));
    EXPECT_EQ(240u, exports->Base);
    EXPECT_EQ(2u, exports->NumberOfFunctions);
    EXPECT_EQ(0u, exports->NumberOfNames);
    const auto* functions = reinterpret_cast<const DWORD*>(Base() + exports->AddressOfFunctions);
    EXPECT_NE(0u, functions[0]);
    EXPECT_NE(0u, functions[1]);
}

TEST_F(MesolunePe, SystemServicesComeFromTheCoreLibrary)
{
    ASSERT_NE(nullptr, module);
    const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    std::set<std::string> libraries, fromCore;
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base() + dir.VirtualAddress); d->Name;
         ++d) {
        std::string name = reinterpret_cast<const char*>(Base() + d->Name);
        for (char& c : name)
            c = static_cast<char>(tolower(c));
        libraries.insert(name);
        if (name != "coredll.dll")
            continue;
        for (const auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA64*>(Base() + d->OriginalFirstThunk);
             thunk->u1.AddressOfData; ++thunk) {
            if (!IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal))
                fromCore.insert(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(Base() + thunk->u1.AddressOfData)->Name);
        }
    }
    EXPECT_TRUE(libraries.count("coredll.dll"));
    EXPECT_FALSE(libraries.count("user32.dll"));
    EXPECT_FALSE(libraries.count("gdi32.dll"));
    EXPECT_FALSE(libraries.count("advapi32.dll"));
    for (const char* f : {"RegOpenKeyExW", "RegCreateKeyExW", "RegQueryValueExW", "RegSetValueExW", "RegCloseKey",
             "CreateWindowExW", "DefWindowProcW", "GetLocalTime", "GetStockObject", "CreateFontIndirectW",
             "DrawTextW", "BitBlt", "wsprintfW", "WaitForSingleObject"})
        EXPECT_TRUE(fromCore.count(f)) << f;
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

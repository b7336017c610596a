// The loader of ARM modules reads untrusted files: the ARM calendar module
// with one lie planted in it is refused with what it lies about, and
// mutations of it are refused or laid out, never a crash or a hang.
// FUZZ_SEEDS sets how many mutations (a few thousand by default).
#include "ArmImage.h"
#include "DeviceProgram.h"
#include "Mutation.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace mutation;

// The ARM calendar module's bytes; empty without a Windows CE build.
std::vector<char> CalendarModule()
{
    const std::wstring path = deviceprogram::CeBuildFile("mesolune.dll");
    return path.empty() ? std::vector<char>() : ReadAll(path);
}

// The module's headers where they lie in its bytes, to plant a lie in.
struct Headers
{
    std::vector<char>& bytes;

    std::size_t Nt() const
    {
        LONG offset;
        std::memcpy(&offset, bytes.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof offset);
        return static_cast<std::size_t>(offset);
    }
    std::size_t File() const { return Nt() + offsetof(IMAGE_NT_HEADERS32, FileHeader); }
    std::size_t Optional() const { return Nt() + offsetof(IMAGE_NT_HEADERS32, OptionalHeader); }
    std::size_t Directory(int index) const
    {
        return Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + index * sizeof(IMAGE_DATA_DIRECTORY);
    }
    std::size_t Section(int index) const
    {
        WORD optionalSize;
        std::memcpy(&optionalSize, bytes.data() + File() + offsetof(IMAGE_FILE_HEADER, SizeOfOptionalHeader),
            sizeof optionalSize);
        return Optional() + optionalSize + index * sizeof(IMAGE_SECTION_HEADER);
    }
    template <typename T>
    void Set(std::size_t at, T value)
    {
        std::memcpy(bytes.data() + at, &value, sizeof value);
    }
};

struct Lie
{
    const char* what;
    std::function<void(Headers&)> plant;
    const wchar_t* refusal;
};

const Lie kLies[] = {
    {"its NT headers past its end",
        [](Headers& h) { h.Set<LONG>(offsetof(IMAGE_DOS_HEADER, e_lfanew), 0x7FFFFFF0); }, L"not a module for ARM"},
    {"another machine", [](Headers& h) { h.Set<WORD>(h.File() + offsetof(IMAGE_FILE_HEADER, Machine), 0x8664); },
        L"not a module for ARM"},
    {"more directories than a header holds",
        [](Headers& h) { h.Set<DWORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes), 17); },
        L"its optional header is not a 32-bit module's"},
    {"a later Windows CE than any device's",
        [](Headers& h) { h.Set<WORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, MajorSubsystemVersion), 9); },
        L"it asks for Windows CE 9."},
    {"an image of 2 GB",
        [](Headers& h) { h.Set<DWORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfImage), 0x80000000); },
        L"its image size, section alignment or headers are not a module's"},
    {"headers larger than the file",
        [](Headers& h) { h.Set<DWORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, SizeOfHeaders), 0x7FFFFFFF); },
        L"its image size, section alignment or headers are not a module's"},
    {"a section table past its headers",
        [](Headers& h) { h.Set<WORD>(h.File() + offsetof(IMAGE_FILE_HEADER, NumberOfSections), 0xFFFF); },
        L"its section table lies outside its headers"},
    {"a section's data past the file's end",
        [](Headers& h) { h.Set<DWORD>(h.Section(0) + offsetof(IMAGE_SECTION_HEADER, PointerToRawData), 0x7FFFF000); },
        L"its section 0 lies outside the file or the image, or on another"},
    {"a section past the image's end",
        [](Headers& h) { h.Set<DWORD>(h.Section(0) + offsetof(IMAGE_SECTION_HEADER, VirtualAddress), 0x7FFFF000); },
        L"its section 0 lies outside the file or the image, or on another"},
    {"an entry point outside its code",
        [](Headers& h) { h.Set<DWORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, AddressOfEntryPoint), 8); },
        L"its entry point lies outside its code"},
    {"an import table past the image",
        [](Headers& h) { h.Set<DWORD>(h.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT), 0x7FFFF000); },
        L"its import table lies outside the image"},
    {"an export table past the image",
        [](Headers& h) { h.Set<DWORD>(h.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT), 0x7FFFF000); },
        L"its export table lies outside the image"},
    {"resources larger than the image",
        [](Headers& h) { h.Set<DWORD>(h.Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE) + sizeof(DWORD), 0x7FFFFFFF); },
        L"its resources lie outside the image"},
    {"a base that is taken, and relocations past the image",
        [](Headers& h) {
            h.Set<DWORD>(h.Optional() + offsetof(IMAGE_OPTIONAL_HEADER32, ImageBase), 0);
            h.Set<DWORD>(h.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC), 0x7FFFF000);
        },
        L"its base is taken and it cannot be relocated"},
};

class ArmImageRefuses : public testing::TestWithParam<Lie>
{
};

TEST(ArmImage, TheCalendarModuleLaysOutWithItsExportsAndImports)
{
    const std::vector<char> module = CalendarModule();
    if (module.empty())
        GTEST_SKIP() << "no Windows CE build named (make ce builds one)";
    std::wstring error;
    const auto image = armce::ArmImage::FromBytes(module, error);
    ASSERT_NE(image, nullptr) << std::string(error.begin(), error.end());
    EXPECT_NE(image->Export(240), 0u);
    EXPECT_NE(image->Export(241), 0u);
    EXPECT_FALSE(image->Imports().empty());
    EXPECT_FALSE(image->Resources().empty());
}

TEST_P(ArmImageRefuses, AModuleThatLiesAndSaysWhat)
{
    std::vector<char> module = CalendarModule();
    if (module.empty())
        GTEST_SKIP() << "no Windows CE build named (make ce builds one)";
    Headers headers{module};
    GetParam().plant(headers);
    std::wstring error;
    EXPECT_EQ(armce::ArmImage::FromBytes(module, error), nullptr) << GetParam().what;
    EXPECT_EQ(error.rfind(GetParam().refusal, 0), 0u)
        << GetParam().what << ": " << std::string(error.begin(), error.end());
}

INSTANTIATE_TEST_SUITE_P(Lies, ArmImageRefuses, testing::ValuesIn(kLies));

TEST(ArmImage, MutatedModulesAreRefusedWithAReasonOrLaidOut)
{
    const std::vector<char> module = CalendarModule();
    if (module.empty())
        GTEST_SKIP() << "no Windows CE build named (make ce builds one)";
    std::mt19937 random(1);
    unsigned refused = 0, laidOut = 0;
    for (unsigned seed = 0; seed < Seeds(); ++seed) {
        std::wstring error;
        const auto image = armce::ArmImage::FromBytes(Mutated(module, random, 1024), error);
        if (image) {
            ++laidOut;
        } else {
            ++refused;
            EXPECT_FALSE(error.empty()) << "mutation " << seed << " was refused without a reason";
        }
    }
    // Both ends are reached: mutations the loader refuses, and mutations it
    // reads through to the last table.
    EXPECT_GT(refused, 0u);
    EXPECT_GT(laidOut, 0u);
    std::printf("%u mutations refused, %u laid out\n", refused, laidOut);
}

} // namespace

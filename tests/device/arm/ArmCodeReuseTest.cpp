// A machine keeps a module's translated code for the next module laid out at
// the same place with the same code, and only for it: a module whose code
// differs by one instruction runs that instruction, not what was translated
// of the module before it.
#include "ArmImage.h"
#include "ArmModule.h"
#include "DeviceProgram.h"
#include "Mutation.h"
#include "PeView.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An ARMv5 undefined instruction.
constexpr std::uint32_t kUndefined = 0xE7F000F0;

// The module's bytes with its entry point's first instruction undefined.
std::vector<char> WithUndefinedEntry(std::vector<char> module)
{
    std::wstring error;
    const auto image = armce::ArmImage::FromBytes(module, error);
    if (!image)
        return {};
    const armce::PeView view = armce::PeView::OfFile(module.data(), module.size());
    const std::uint8_t* entry = view.At(image->EntryPoint() - image->Base(), 4);
    if (!entry)
        return {};
    std::memcpy(module.data() + (reinterpret_cast<const char*>(entry) - module.data()), &kUndefined, 4);
    return module;
}

struct Reload
{
    const char* what;
    const char* first;  // a Windows CE build's module, loaded and let go
    const char* second; // loaded next; "changed" for the first with its entry point undefined
    bool loads;
    bool reusesCode;
};

const Reload kReloads[] = {
    {"the same module again", "mesolune.dll", "mesolune.dll", true, true},
    {"the same code under another name", "mesolune.dll", "copy", true, true},
    {"its code changed by one instruction", "mesolune.dll", "changed", false, false},
    {"after another module", "test-items/crossing.dll", "mesolune.dll", true, false},
};

class ArmCodeReuse : public testing::TestWithParam<Reload>
{
};

TEST_P(ArmCodeReuse, OnlyTheSameCodeAtTheSamePlaceRunsWhatWasTranslated)
{
    const Reload& reload = GetParam();
    const std::wstring first = deviceprogram::CeBuildFile(reload.first);
    if (first.empty())
        GTEST_SKIP() << "no Windows CE build named (make ce builds one)";
    const std::string second = reload.second;
    std::wstring path = deviceprogram::CeBuildFile(second);
    deviceprogram::TempFile copy(L".dll");
    if (second == "copy" || second == "changed") {
        std::vector<char> bytes = mutation::ReadAll(first);
        if (second == "changed")
            bytes = WithUndefinedEntry(bytes);
        ASSERT_FALSE(bytes.empty());
        mutation::Write(copy.Path(), bytes);
        path = copy.Path();
    }

    std::wstring error;
    {
        // Translated as it loads and runs its entry point.
        const auto module = armce::ArmModule::Load(first, L"first", error);
        ASSERT_NE(module, nullptr) << std::string(error.begin(), error.end());
    }
    const auto module = armce::ArmModule::Load(path, L"second", error);
    EXPECT_EQ(reload.loads, module != nullptr) << reload.what << ": " << std::string(error.begin(), error.end());
    if (module) {
        EXPECT_EQ(reload.reusesCode, module->Machine().ReusedCode()) << reload.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Reloads, ArmCodeReuse, testing::ValuesIn(kReloads));

} // namespace

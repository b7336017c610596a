// The item's start-up (its own, in place of a C runtime), proved on a module
// built with it that records what happens: constructors before DllMain at
// attach, in order; destructors after DllMain at detach, in reverse; an exit
// list that is full refuses a destructor and says so on the device's debug
// output.
#include "DeviceProgram.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

void __cdecl RecordEvent(const char* event)
{
    g_events.push_back(event);
}

std::string Joined(const std::vector<std::string>& events)
{
    std::string joined;
    for (const std::string& event : events)
        joined += event + " ";
    return joined;
}

class ModuleStartup : public testing::Test
{
protected:
    void SetUp() override
    {
        g_events.clear();
        module = LoadLibraryW(L"startup_probe.dll");
        ASSERT_NE(nullptr, module);
        log = reinterpret_cast<const char*(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "ProbeLog")));
        recordTo = reinterpret_cast<void(WINAPI*)(void(__cdecl*)(const char*))>(
            reinterpret_cast<void*>(GetProcAddress(module, "ProbeRecordTo")));
        statics = reinterpret_cast<void(WINAPI*)(int)>(
            reinterpret_cast<void*>(GetProcAddress(module, "ProbeStatics")));
        ASSERT_TRUE(log && recordTo && statics);
        recordTo(RecordEvent);
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }

    // The destructors' events at unload.
    std::string Unloaded()
    {
        g_events.clear();
        FreeLibrary(module);
        module = nullptr;
        return Joined(g_events);
    }

    HMODULE module = nullptr;
    const char*(WINAPI* log)() = nullptr;
    void(WINAPI* recordTo)(void(__cdecl*)(const char*)) = nullptr;
    void(WINAPI* statics)(int) = nullptr;
};

TEST_F(ModuleStartup, ConstructorsRunInOrderBeforeDllMainAndDestructorsInReverseAfterIt)
{
    EXPECT_STREQ("+first +second +third attach ", log());
    statics(3);
    EXPECT_EQ("+s01 +s02 +s03 ", Joined(g_events));
    EXPECT_EQ("detach -s03 -s02 -s01 -third -second -first ", Unloaded());
}

TEST_F(ModuleStartup, AFullExitListRefusesADestructorAndSaysSo)
{
    // The device's debug output goes to the program's standard error.
    const deviceprogram::TempFile errors(L".err");
    HANDLE file = CreateFileW(errors.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, file);
    statics(40);
    SetStdHandle(STD_ERROR_HANDLE, standardError);
    CloseHandle(file);

    // Three globals and 29 statics fill the 32 places; 11 are refused.
    std::ifstream said(errors.Path().c_str());
    int refusals = 0;
    for (std::string line; std::getline(said, line);) {
        EXPECT_EQ("debug: DllMainCRTStartup: the exit list is full; a destructor will not run at unload", line);
        ++refusals;
    }
    EXPECT_EQ(11, refusals);
    std::ostringstream expected;
    expected << "detach ";
    for (int n = 29; n >= 1; --n)
        expected << "-s" << (n < 10 ? "0" : "") << n << " ";
    expected << "-third -second -first ";
    EXPECT_EQ(expected.str(), Unloaded());
}

} // namespace

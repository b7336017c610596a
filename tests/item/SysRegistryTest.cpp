#include "RegistryFixture.h"
#include "SysRegistry.h"

#include <gtest/gtest.h>

namespace {

using namespace testreg;

constexpr const wchar_t* kCePath = L"\\Software\\Orvik\\Mesolune";

class SysRegistryTest : public CleanSettings
{
protected:
    CSysRegistry& registry = CSysRegistry::Instance();
};

// The one object is a static of the program's image, not made anew on the
// heap or the stack at each call.
TEST_F(SysRegistryTest, OneInstancePerProcess)
{
    EXPECT_EQ(&CSysRegistry::Instance(), &registry);
    HMODULE holder = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&registry), &holder));
    EXPECT_EQ(GetModuleHandleW(nullptr), holder);
}

TEST_F(SysRegistryTest, CreateKeyMakesAMissingKeyAndKeepsAnExistingOne)
{
    EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, kCePath));
    EXPECT_TRUE(registry.CreateKey(HKEY_CURRENT_USER, kCePath));
    EXPECT_TRUE(registry.KeyExists(HKEY_CURRENT_USER, kCePath));
    PutDWord(L"Weeks", 3);
    EXPECT_TRUE(registry.CreateKey(HKEY_CURRENT_USER, kCePath));
    EXPECT_EQ(3u, registry.GetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks"));
}

TEST_F(SysRegistryTest, WritesToAMissingKeyFailAndCreateNothing)
{
    DWORD data = 5;
    const RegValue value = {REG_DWORD, reinterpret_cast<BYTE*>(&data), sizeof data};
    EXPECT_FALSE(registry.SetValue(HKEY_CURRENT_USER, kCePath, L"Weeks", value));
    EXPECT_FALSE(registry.SetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks", 5));
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, kKey));
}

TEST_F(SysRegistryTest, ValueExistsForAnyTypeAndSize)
{
    EXPECT_FALSE(registry.ValueExists(HKEY_CURRENT_USER, kCePath, L"Empty"));
    Put(HKEY_CURRENT_USER, kKey, L"Empty", REG_BINARY, nullptr, 0);
    PutString(L"Text", L"");
    PutDWord(L"Number", 0);
    EXPECT_TRUE(registry.ValueExists(HKEY_CURRENT_USER, kCePath, L"Empty"));
    EXPECT_TRUE(registry.ValueExists(HKEY_CURRENT_USER, kCePath, L"Text"));
    EXPECT_TRUE(registry.ValueExists(HKEY_CURRENT_USER, kCePath, L"Number"));
    EXPECT_FALSE(registry.ValueExists(HKEY_CURRENT_USER, kCePath, L"Other"));
}

TEST_F(SysRegistryTest, NumbersRoundTripAndMissingOnesReadAsZero)
{
    EXPECT_EQ(0u, registry.GetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks"));
    ASSERT_TRUE(registry.CreateKey(HKEY_CURRENT_USER, kCePath));
    EXPECT_EQ(0u, registry.GetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks"));
    EXPECT_TRUE(registry.SetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks", 0xDEADBEEF));
    EXPECT_EQ(0xDEADBEEFu, registry.GetDWord(HKEY_CURRENT_USER, kCePath, L"Weeks"));
}

TEST_F(SysRegistryTest, GetValueReportsTheStoredTypeAndSize)
{
    PutString(L"Font", L"Tahoma");
    wchar_t buffer[32] = {};
    RegValue value = {REG_DWORD, reinterpret_cast<BYTE*>(buffer), sizeof buffer};
    ASSERT_TRUE(registry.GetValue(HKEY_CURRENT_USER, kCePath, L"Font", value));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.dwType);
    EXPECT_EQ(14u, value.cbData);
    EXPECT_STREQ(L"Tahoma", buffer);
}

TEST_F(SysRegistryTest, GetValueIntoASmallBufferFails)
{
    PutString(L"Font", L"Tahoma");
    wchar_t buffer[4] = {};
    RegValue value = {REG_SZ, reinterpret_cast<BYTE*>(buffer), sizeof buffer};
    EXPECT_FALSE(registry.GetValue(HKEY_CURRENT_USER, kCePath, L"Font", value));
    EXPECT_EQ(14u, value.cbData);

    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Put(HKEY_CURRENT_USER, kKey, L"Wide", REG_BINARY, eight, sizeof eight);
    EXPECT_EQ(0u, registry.GetDWord(HKEY_CURRENT_USER, kCePath, L"Wide"));
}

TEST_F(SysRegistryTest, WorksUnderTheLocalMachineRoot)
{
    const wchar_t* path = L"\\Software\\Orvik\\MesoluneTest";
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Orvik\\MesoluneTest");
    ASSERT_TRUE(registry.CreateKey(HKEY_LOCAL_MACHINE, path));
    BYTE flags = 1;
    const RegValue value = {REG_BINARY, &flags, 1};
    EXPECT_TRUE(registry.SetValue(HKEY_LOCAL_MACHINE, path, L"AlarmFlags", value));
    BYTE read = 0;
    RegValue readValue = {REG_BINARY, &read, 1};
    EXPECT_TRUE(registry.GetValue(HKEY_LOCAL_MACHINE, path, L"AlarmFlags", readValue));
    EXPECT_EQ(1, read);
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Orvik\\MesoluneTest");
    EXPECT_FALSE(registry.KeyExists(HKEY_LOCAL_MACHINE, path));
}

} // namespace

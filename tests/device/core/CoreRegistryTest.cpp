// coredll's registry gives Windows CE results over the desktop registry.
#include "RegistryFixture.h"

#include <deviceregistry.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testreg;

using OpenKeyFn = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);

// The desktop's own entry, bypassing the device library.
OpenKeyFn DesktopOpenKey()
{
    return reinterpret_cast<OpenKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegOpenKeyExW")));
}

class CoreRegistry : public CleanSettings
{
protected:
    void SetUp() override
    {
        CleanSettings::SetUp();
        PutDWord(L"Weeks", 7);
    }
};

TEST_F(CoreRegistry, ImportsComeFromTheDeviceLibrary)
{
    HMODULE coredll = GetModuleHandleW(L"coredll.dll");
    ASSERT_NE(nullptr, coredll);
    EXPECT_NE(nullptr, GetProcAddress(coredll, "RegOpenKeyExW"));
    EXPECT_NE(reinterpret_cast<void*>(DesktopOpenKey()),
        reinterpret_cast<void*>(GetProcAddress(coredll, "RegOpenKeyExW")));
}

TEST_F(CoreRegistry, ALeadingBackslashIsAccepted)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, DesktopOpenKey()(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune", 0, KEY_READ, &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvik\\Mesolune", 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST_F(CoreRegistry, AWriteOnlyOpenCanStillRead)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune", 0, KEY_WRITE, &key));
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Weeks", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(7u, value);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    RegCloseKey(key);

    // The desktop refuses the same query on the same key.
    const HKEY root = DeviceRegistryRoot(HKEY_CURRENT_USER);
    ASSERT_EQ(ERROR_SUCCESS, DesktopOpenKey()(root, kKey, 0, KEY_WRITE, &key));
    size = sizeof value;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExW(key, L"Weeks", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    RegCloseKey(key);
    RegCloseKey(root);
}

TEST_F(CoreRegistry, AKeyCreatedWithNoAccessCanReadAndWrite)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune\\Child", 0, nullptr, 0, 0,
                                 nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    const DWORD one = 1;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4));
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune\\Child", 0, nullptr, 0, 0,
                                 nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
}

TEST_F(CoreRegistry, OtherResultsAreTheDesktopOnes)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Missing", 0, 0, &key));
    EXPECT_EQ(nullptr, key);

    PutString(L"Font", L"Tahoma");
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\Mesolune", 0, 0, &key));
    wchar_t small[3];
    DWORD size = sizeof small, type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"Font", nullptr, &type, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(14u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, L"Nothing", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

// The device's roots are keys of the desktop user's registry, named by the
// device; the desktop's own roots do not see what the device writes.
TEST_F(CoreRegistry, TheDevicesRootsAreKeysOfTheUsersOwnRegistry)
{
    wchar_t device[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(DEVICE_NAME_VARIABLE, device, MAX_PATH), 0u);
    const struct
    {
        HKEY root;
        const wchar_t* name;
    } roots[] = {{HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}, {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
        {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"}, {HKEY_USERS, L"HKEY_USERS"}};
    for (const auto& r : roots) {
        SCOPED_TRACE(std::string(r.name, r.name + wcslen(r.name)));
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(r.root, L"\\Software\\Orvik\\RootProbe", 0, nullptr, 0, 0, nullptr,
                                     &key, nullptr));
        RegCloseKey(key);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, DesktopOpenKey()(r.root, L"Software\\Orvik\\RootProbe", 0, KEY_READ, &key));
        const std::wstring inDevice = std::wstring(DEVICE_HIVES_KEY) + L"\\" + device + L"\\" + r.name +
                                      L"\\Software\\Orvik\\RootProbe";
        ASSERT_EQ(ERROR_SUCCESS, DesktopOpenKey()(HKEY_CURRENT_USER, inDevice.c_str(), 0, KEY_READ, &key));
        RegCloseKey(key);
        // The desktop's functions reach the same key through the device's root.
        const HKEY deviceRoot = DeviceRegistryRoot(r.root);
        ASSERT_NE(nullptr, deviceRoot);
        EXPECT_EQ(ERROR_SUCCESS, DesktopOpenKey()(deviceRoot, L"Software\\Orvik\\RootProbe", 0, KEY_READ, &key));
        RegCloseKey(key);
        RegCloseKey(deviceRoot);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(r.root, L"\\Software\\Orvik\\RootProbe"));
    }
}

// The desktop's other roots are none of the device's: every call on one is
// refused, and nothing reaches the desktop's registry.
TEST_F(CoreRegistry, ARootWindowsCeDoesNotHaveNamesNoKey)
{
    for (const HKEY root : {HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA,
             reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x800000FF)))}) {
        SCOPED_TRACE(testing::PrintToString(root));
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExW(root, L"\\Software\\Orvik\\RootProbe", 0, nullptr, 0, 0,
                                            nullptr, &key, nullptr));
        EXPECT_EQ(nullptr, key);
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(root, L"Software", 0, KEY_READ, &key));
        const DWORD one = 1;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(root, L"RootProbe", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&one), sizeof one));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(root, L"Software"));
        EXPECT_EQ(nullptr, DeviceRegistryRoot(root));
    }
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
        DesktopOpenKey()(HKEY_CURRENT_CONFIG, L"Software\\Orvik\\RootProbe", 0, KEY_READ, &key));
}

TEST_F(CoreRegistry, OutsideADeviceTheRootsAreTheDesktops)
{
    wchar_t device[MAX_PATH] = {};
    GetEnvironmentVariableW(DEVICE_NAME_VARIABLE, device, MAX_PATH);
    SetEnvironmentVariableW(DEVICE_NAME_VARIABLE, nullptr);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\Orvik\\OutsideProbe", 0, nullptr, 0, 0,
                                 nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(HKEY_CURRENT_USER, DeviceRegistryRoot(HKEY_CURRENT_USER));
    SetEnvironmentVariableW(DEVICE_NAME_VARIABLE, device);
    EXPECT_EQ(ERROR_SUCCESS, DesktopOpenKey()(HKEY_CURRENT_USER, L"Software\\Orvik\\OutsideProbe", 0, KEY_READ, &key));
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvik\\OutsideProbe"); // the desktop's own
}

} // namespace

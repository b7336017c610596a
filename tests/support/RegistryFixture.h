// Tests that use the device's registry start from a clean settings key.
#pragma once

#include "DeviceRoot.h"
#include "OwnedHandle.h"
#include "RegistryValues.h"
#include "Settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testreg {

// The settings key as the desktop registry names it.
constexpr const wchar_t* kKey = L"Software\\Orvik\\Mesolune";

inline void DeleteTree(HKEY root, const wchar_t* path)
{
    RegDeleteTreeW(DeviceRoot(root), path);
    RegDeleteKeyW(root, path);
}

inline bool KeyPresent(HKEY root, const wchar_t* path)
{
    UniqueKey key;
    return RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

inline void Put(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size));
}

inline void PutDWord(const wchar_t* name, DWORD value)
{
    Put(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof value);
}

inline void PutString(const wchar_t* name, const std::wstring& value)
{
    Put(HKEY_CURRENT_USER, kKey, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

using StoredValue = NamedValue;

// Every value of a key, in the registry's order.
inline std::vector<StoredValue> Values(HKEY root, const wchar_t* path)
{
    UniqueKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return {};
    return ValuesOf(key.Get());
}

// The settings as they were when the module was loaded.
struct SettingsSnapshot
{
    COLORREF color1 = Settings::Color1, color2 = Settings::Color2, color3 = Settings::Color3,
             color4 = Settings::Color4;
    DWORD weekend = Settings::Weekend, weeks = Settings::Weeks, dayNames = Settings::DayNames,
          clock = Settings::Clock, gesture = Settings::Gesture, dpad = Settings::DPad;
    int fontSize = Settings::FontSize, clockFontSize = Settings::ClockFontSize;
    DWORD clockFontBold = Settings::ClockFontBold, alarm = Settings::Alarm, fontBold = Settings::FontBold;
    std::wstring font = Settings::Font, clockFont = Settings::ClockFont;

    void Restore() const
    {
        Settings::Color1 = color1;
        Settings::Color2 = color2;
        Settings::Color3 = color3;
        Settings::Color4 = color4;
        Settings::Weekend = weekend;
        Settings::Weeks = weeks;
        Settings::DayNames = dayNames;
        Settings::Clock = clock;
        Settings::Gesture = gesture;
        Settings::DPad = dpad;
        Settings::FontSize = fontSize;
        Settings::ClockFontSize = clockFontSize;
        Settings::ClockFontBold = clockFontBold;
        Settings::Alarm = alarm;
        Settings::FontBold = fontBold;
        lstrcpynW(Settings::Font, font.c_str(), Settings::kFaceNameLength);
        lstrcpynW(Settings::ClockFont, clockFont.c_str(), Settings::kFaceNameLength);
    }
};

inline const SettingsSnapshot& Defaults()
{
    static const SettingsSnapshot defaults;
    return defaults;
}

// Clean settings key and default settings before and after every test.
class CleanSettings : public testing::Test
{
protected:
    void SetUp() override
    {
        Defaults();
        DeleteTree(HKEY_CURRENT_USER, kKey);
        Defaults().Restore();
    }
    void TearDown() override
    {
        DeleteTree(HKEY_CURRENT_USER, kKey);
        Defaults().Restore();
    }
};

} // namespace testreg

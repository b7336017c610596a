#include "RegistryFixture.h"
#include "Settings.h"

#include <devicefailures.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace {

using namespace testreg;

class SettingsTest : public CleanSettings {};

// Each number the calendar keeps: its value's name, its field, its default,
// a value to store and what that loads as.
struct NumberSetting
{
    const wchar_t* name;
    long long (*field)();
    long long byDefault;
    DWORD stored;
    long long loaded;
};

const NumberSetting kNumbers[] = {
    {L"Color1", [] { return static_cast<long long>(Settings::Color1); }, 0x007878FF, 0x00010203, 0x00010203},
    {L"Color2", [] { return static_cast<long long>(Settings::Color2); }, 0x007878FF, 0x00040506, 0x00040506},
    {L"Color3", [] { return static_cast<long long>(Settings::Color3); }, 0x0078FF78, 0x00070809, 0x00070809},
    {L"Color4", [] { return static_cast<long long>(Settings::Color4); }, 0x00FF6464, 0x000A0B0C, 0x000A0B0C},
    {L"Weekend", [] { return static_cast<long long>(Settings::Weekend); }, 1, 2, 2},
    {L"Weeks", [] { return static_cast<long long>(Settings::Weeks); }, 1, 0, 0},
    {L"DayNames", [] { return static_cast<long long>(Settings::DayNames); }, 1, 0, 0},
    {L"Clock", [] { return static_cast<long long>(Settings::Clock); }, 1, 0, 0},
    {L"Gesture", [] { return static_cast<long long>(Settings::Gesture); }, 0x01020408, 0x08040201, 0x08040201},
    {L"DPad", [] { return static_cast<long long>(Settings::DPad); }, 0x00000201, 7, 7},
    // Seconds in the registry, milliseconds in memory.
    {L"Alarm", [] { return static_cast<long long>(Settings::Alarm); }, 60000, 5, 5000},
    {L"FontSize", [] { return static_cast<long long>(Settings::FontSize); }, 8, static_cast<DWORD>(-8), -8},
    {L"FontBold", [] { return static_cast<long long>(Settings::FontBold); }, 0, 1, 1},
    {L"ClockFontSize", [] { return static_cast<long long>(Settings::ClockFontSize); }, 18, 24, 24},
    {L"ClockFontBold", [] { return static_cast<long long>(Settings::ClockFontBold); }, 1, 0, 0},
};

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text; ++text)
        narrow += static_cast<char>(*text);
    return narrow;
}

TEST_F(SettingsTest, FirstRunCreatesAnEmptyKeyAndKeepsTheDefaults)
{
    ASSERT_FALSE(KeyPresent(HKEY_CURRENT_USER, kKey));
    LoadSettings();
    EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, kKey));
    EXPECT_TRUE(Values(HKEY_CURRENT_USER, kKey).empty());

    for (const NumberSetting& number : kNumbers)
        EXPECT_EQ(number.byDefault, number.field()) << Narrow(number.name);
    EXPECT_STREQ(L"Tahoma", Settings::Font);
    EXPECT_STREQ(L"Tahoma", Settings::ClockFont);
}

TEST_F(SettingsTest, OnlyTheStoredValueChanges)
{
    for (const NumberSetting& stored : kNumbers) {
        DeleteTree(HKEY_CURRENT_USER, kKey);
        Defaults().Restore();
        PutDWord(stored.name, stored.stored);
        LoadSettings();
        for (const NumberSetting& number : kNumbers)
            EXPECT_EQ(&number == &stored ? number.loaded : number.byDefault, number.field())
                << Narrow(stored.name) << " stored, " << Narrow(number.name) << " read";
        EXPECT_STREQ(L"Tahoma", Settings::Font);
    }
}

TEST_F(SettingsTest, EveryValueLoadsIntoItsField)
{
    for (const NumberSetting& number : kNumbers)
        PutDWord(number.name, number.stored);
    PutString(L"Font", L"Courier New");
    PutString(L"ClockFont", L"Arial");
    LoadSettings();
    for (const NumberSetting& number : kNumbers)
        EXPECT_EQ(number.loaded, number.field()) << Narrow(number.name);
    EXPECT_STREQ(L"Courier New", Settings::Font);
    EXPECT_STREQ(L"Arial", Settings::ClockFont);
}

TEST_F(SettingsTest, AlarmIsSecondsInTheRegistryAndMillisecondsInMemory)
{
    PutDWord(L"Alarm", 30);
    LoadSettings();
    EXPECT_EQ(30000u, Settings::Alarm);

    Settings::Alarm = 60000;
    SaveSettings();
    LoadSettings();
    EXPECT_EQ(60000u, Settings::Alarm);
    for (const StoredValue& v : Values(HKEY_CURRENT_USER, kKey)) {
        if (v.name == L"Alarm") {
            EXPECT_EQ(60u, *reinterpret_cast<const DWORD*>(v.data.data()));
        }
    }

    Settings::Alarm = 0;
    SaveSettings();
    Settings::Alarm = 1;
    LoadSettings();
    EXPECT_EQ(0u, Settings::Alarm);

    Settings::Alarm = 1999; // the remainder is dropped
    SaveSettings();
    LoadSettings();
    EXPECT_EQ(1000u, Settings::Alarm);
}

TEST_F(SettingsTest, SaveWritesExactlyTheElevenValues)
{
    Settings::Color2 = 0x00123456;
    Settings::Weekend = 2;
    Settings::Alarm = 120000;
    SaveSettings();

    const std::vector<StoredValue> values = Values(HKEY_CURRENT_USER, kKey);
    const struct { const wchar_t* name; DWORD data; } expected[] = {
        {L"Color1", 0x007878FF}, {L"Color2", 0x00123456}, {L"Color3", 0x0078FF78},
        {L"Color4", 0x00FF6464}, {L"Weekend", 2}, {L"Weeks", 1}, {L"Clock", 1},
        {L"DayNames", 1}, {L"DPad", 0x201}, {L"Gesture", 0x01020408}, {L"Alarm", 120},
    };
    ASSERT_EQ(std::size(expected), values.size());
    for (const auto& e : expected) {
        SCOPED_TRACE(testing::Message() << e.name);
        bool found = false;
        for (const StoredValue& v : values) {
            if (v.name != e.name)
                continue;
            found = true;
            EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type);
            ASSERT_EQ(4u, v.data.size());
            EXPECT_EQ(e.data, *reinterpret_cast<const DWORD*>(v.data.data()));
        }
        EXPECT_TRUE(found);
    }
}

TEST_F(SettingsTest, HandEnteredFontValuesSurviveSaves)
{
    PutString(L"Font", L"Verdana");
    PutDWord(L"FontSize", 10);
    LoadSettings();
    SaveSettings();
    SaveSettings();
    LoadSettings();
    EXPECT_STREQ(L"Verdana", Settings::Font);
    EXPECT_EQ(10, Settings::FontSize);
    EXPECT_EQ(13u, Values(HKEY_CURRENT_USER, kKey).size());
}

TEST_F(SettingsTest, ThirtyOneCharacterFaceNamesLoadWhole)
{
    const std::wstring longest(31, L'F');
    PutString(L"Font", longest);
    PutString(L"ClockFont", std::wstring(31, L'C'));
    LoadSettings();
    EXPECT_EQ(longest, Settings::Font);
    EXPECT_EQ(std::wstring(31, L'C'), Settings::ClockFont);

    PutString(L"Font", L"X");
    LoadSettings();
    EXPECT_STREQ(L"X", Settings::Font);
    EXPECT_EQ(std::wstring(31, L'C'), Settings::ClockFont);
}

TEST_F(SettingsTest, AnEmptyFaceNameKeepsTheNameLoadedBefore)
{
    for (const wchar_t* name : {L"Font", L"ClockFont"}) {
        for (DWORD size : {0u, 2u}) {
            SCOPED_TRACE(testing::Message() << (name[0] == L'F' ? "Font" : "ClockFont") << ", " << size << " bytes");
            PutString(name, L"Courier New");
            LoadSettings();
            Put(HKEY_CURRENT_USER, kKey, name, REG_SZ, L"", size);
            LoadSettings();
            EXPECT_STREQ(L"Courier New", name[0] == L'F' ? Settings::Font : Settings::ClockFont);
        }
    }
}

TEST_F(SettingsTest, AFieldChangedInMemorySurvivesALoadWithoutItsValue)
{
    Settings::Color3 = 0x00ABCDEF;
    Settings::Gesture = 0x11111111;
    lstrcpyW(Settings::ClockFont, L"Marlett");
    PutDWord(L"Color1", 1);
    LoadSettings();
    EXPECT_EQ(0x00ABCDEFu, Settings::Color3);
    EXPECT_EQ(0x11111111u, Settings::Gesture);
    EXPECT_STREQ(L"Marlett", Settings::ClockFont);
    EXPECT_EQ(1u, Settings::Color1);
}

TEST_F(SettingsTest, DefaultGestureDecodesAsTheStrokeActions)
{
    auto slot = [](int k) { return (Settings::Gesture >> (8 * (k - 1))) & 0xFF; };
    EXPECT_EQ(static_cast<DWORD>(kGesturePrevYear), slot(1));
    EXPECT_EQ(static_cast<DWORD>(kGestureNextYear), slot(2));
    EXPECT_EQ(static_cast<DWORD>(kGesturePrevMonth), slot(3));
    EXPECT_EQ(static_cast<DWORD>(kGestureNextMonth), slot(4));
}

// Bad input: every value stored in every wrong shape.

struct Shape
{
    const char* label;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BYTE> Utf16(const std::wstring& text, bool terminated = true)
{
    std::vector<BYTE> bytes((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

std::vector<Shape> BadShapes()
{
    return {
        {"REG_SZ number", REG_SZ, Utf16(L"12")},
        {"REG_SZ one digit", REG_SZ, Utf16(L"7")},
        {"REG_BINARY 0", REG_BINARY, {}},
        {"REG_BINARY 1", REG_BINARY, {0xAB}},
        {"REG_BINARY 3", REG_BINARY, {0xAB, 0xCD, 0xEF}},
        {"REG_BINARY 4", REG_BINARY, {0x01, 0x02, 0x03, 0x04}},
        {"REG_BINARY 8", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"REG_DWORD", REG_DWORD, {0x41, 0, 0x42, 0}},
        {"empty string", REG_SZ, Utf16(L"")},
        {"empty string, no terminator", REG_SZ, {}},
        {"32 characters", REG_SZ, Utf16(std::wstring(32, L'a'))},
        {"33 characters", REG_SZ, Utf16(std::wstring(33, L'b'))},
        {"300 characters", REG_SZ, Utf16(std::wstring(300, L'c'))},
        {"no terminator", REG_SZ, Utf16(L"Arial", false)},
        {"32 characters, no terminator", REG_SZ, Utf16(std::wstring(32, L'd'), false)},
    };
}

// What a number field holds after reading a shape: the stored bytes as a
// little-endian number when they fit in four bytes, else 0 (a failed read).
DWORD NumberRead(const Shape& shape)
{
    if (shape.data.size() > 4)
        return 0;
    DWORD value = 0;
    if (!shape.data.empty())
        std::memcpy(&value, shape.data.data(), shape.data.size());
    return value;
}

// What a face-name field holds: a non-empty string that fits with its
// terminator, else the previous name.
std::wstring FaceRead(const Shape& shape, const std::wstring& previous)
{
    if (shape.type != REG_SZ)
        return previous;
    std::wstring name;
    for (size_t i = 0; i + 1 < shape.data.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(shape.data[i] | (shape.data[i + 1] << 8));
        if (c == L'\0')
            break;
        name += c;
    }
    return !name.empty() && name.size() <= 31 ? name : previous;
}

struct Field
{
    const wchar_t* name;
    std::function<DWORD()> number; // null for a face name
    std::function<std::wstring()> face;
    DWORD scale = 1;
};

std::vector<Field> AllFields()
{
    using namespace Settings;
    auto n = [](auto& field) { return [&field] { return static_cast<DWORD>(field); }; };
    return {
        {L"Color1", n(Color1), nullptr}, {L"Color2", n(Color2), nullptr},
        {L"Color3", n(Color3), nullptr}, {L"Color4", n(Color4), nullptr},
        {L"Weekend", n(Weekend), nullptr}, {L"Weeks", n(Weeks), nullptr},
        {L"Clock", n(Clock), nullptr}, {L"DayNames", n(DayNames), nullptr},
        {L"DPad", n(DPad), nullptr}, {L"Gesture", n(Gesture), nullptr},
        {L"Alarm", n(Alarm), nullptr, 1000}, {L"FontSize", n(FontSize), nullptr},
        {L"FontBold", n(FontBold), nullptr}, {L"ClockFontSize", n(ClockFontSize), nullptr},
        {L"ClockFontBold", n(ClockFontBold), nullptr},
        {L"Font", nullptr, [] { return std::wstring(Font); }},
        {L"ClockFont", nullptr, [] { return std::wstring(ClockFont); }},
    };
}

TEST_F(SettingsTest, EveryValueInEveryWrongShapeLoadsSafely)
{
    const std::vector<Field> fields = AllFields();
    ASSERT_EQ(17u, fields.size());
    for (const Field& field : fields) {
        for (const Shape& shape : BadShapes()) {
            SCOPED_TRACE(testing::Message() << std::string(field.name, field.name + wcslen(field.name)) << " as "
                                            << shape.label);
            DeleteTree(HKEY_CURRENT_USER, kKey);
            Defaults().Restore();
            const std::wstring before = field.face ? field.face() : L"";
            Put(HKEY_CURRENT_USER, kKey, field.name, shape.type, shape.data.data(),
                static_cast<DWORD>(shape.data.size()));
            LoadSettings();
            if (field.number) {
                EXPECT_EQ(NumberRead(shape) * field.scale, field.number());
            } else {
                const std::wstring now = field.face();
                EXPECT_EQ(FaceRead(shape, before), now);
                EXPECT_LE(now.size(), 31u);
            }
        }
    }
}

// A read the platform refuses (the key cannot be opened, or the value read)
// keeps the value loaded before: its 0 would be saved by the next OK.
TEST_F(SettingsTest, AReadThePlatformRefusesKeepsThePreviousValue)
{
    // The key's own check, Color1's check, then Color1's read.
    const std::pair<const char*, DWORD> reads[] = {{"RegOpenKeyExW", 3}, {"RegQueryValueExW", 2}};
    for (const auto& [refused, call] : reads) {
        SCOPED_TRACE(refused);
        PutDWord(L"Color1", RGB(5, 6, 7));
        Settings::Color1 = RGB(1, 2, 3);
        DeviceFailuresFor(GetModuleHandleW(nullptr));
        DeviceFailCall(refused, call, FALSE);
        LoadSettings();
        char failed[32] = {};
        EXPECT_NE(0u, DeviceFailedFunction(failed, sizeof failed));
        DeviceClearFailures();
        DeviceFailuresFor(nullptr);
        EXPECT_EQ(RGB(1, 2, 3), Settings::Color1);
        LoadSettings();
        EXPECT_EQ(RGB(5, 6, 7), Settings::Color1);
    }
}

} // namespace

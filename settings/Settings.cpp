#include "Settings.h"

#include "SysRegistry.h"

namespace Settings {

COLORREF Color1 = 0x007878FF;
COLORREF Color2 = 0x007878FF;
COLORREF Color3 = 0x0078FF78;
COLORREF Color4 = 0x00FF6464;
DWORD Weekend = 1;
DWORD Weeks = 1;
DWORD DayNames = 1;
DWORD Clock = 1;
DWORD Gesture = 0x01020408;
DWORD DPad = 0x00000201;
int FontSize = 8;
int ClockFontSize = 18;
DWORD ClockFontBold = 1;
DWORD Alarm = kAlarmInterval;
wchar_t Font[kFaceNameLength] = L"Tahoma";
wchar_t ClockFont[kFaceNameLength] = L"Tahoma";

DWORD FontBold = 0;

} // namespace Settings

const wchar_t g_szSettingsKey[] = L"\\Software\\Orvik\\Mesolune";

namespace {

// A number is read as the registry object reads it (a value too long for
// it reads as 0, a shorter one as the bytes it has), but a read the
// platform refused keeps the previous value: 0 in its place would be saved
// by the next OK.
void LoadDWord(CSysRegistry& registry, const wchar_t* pszName, DWORD& dwField, DWORD dwScale = 1)
{
    if (!registry.ValueExists(HKEY_CURRENT_USER, g_szSettingsKey, pszName))
        return;
    DWORD dwRead = 0;
    RegValue value = {REG_DWORD, reinterpret_cast<BYTE*>(&dwRead), sizeof dwRead};
    if (!registry.GetValue(HKEY_CURRENT_USER, g_szSettingsKey, pszName, value)) {
        RegValue size = {REG_NONE, NULL, 0};
        if (!registry.GetValue(HKEY_CURRENT_USER, g_szSettingsKey, pszName, size) || size.cbData <= sizeof dwRead)
            return;
        dwRead = 0;
    }
    dwField = dwRead * dwScale;
}

void LoadInt(CSysRegistry& registry, const wchar_t* pszName, int& nField)
{
    DWORD dwValue = static_cast<DWORD>(nField);
    LoadDWord(registry, pszName, dwValue);
    nField = static_cast<int>(dwValue);
}

// A face name replaces the field only when it is a string that fits with its
// terminator; anything else (empty, too long, another type, a failed read)
// keeps the previous name. A stored string without terminator is taken up to
// its size.
void LoadFaceName(CSysRegistry& registry, const wchar_t* pszName, wchar_t (&szField)[Settings::kFaceNameLength])
{
    if (!registry.ValueExists(HKEY_CURRENT_USER, g_szSettingsKey, pszName))
        return;
    wchar_t szRead[Settings::kFaceNameLength] = {};
    RegValue value = {REG_SZ, reinterpret_cast<BYTE*>(szRead), sizeof szRead};
    if (!registry.GetValue(HKEY_CURRENT_USER, g_szSettingsKey, pszName, value) || value.dwType != REG_SZ)
        return;
    const DWORD cchStored = value.cbData / sizeof(wchar_t);
    DWORD cchName = 0;
    while (cchName < cchStored && szRead[cchName] != L'\0')
        ++cchName;
    if (cchName == 0 || cchName >= static_cast<DWORD>(Settings::kFaceNameLength))
        return;
    for (DWORD i = 0; i < cchName; ++i)
        szField[i] = szRead[i];
    szField[cchName] = L'\0';
}

// The values both loaded and saved, in their order. Alarm is held in ms and
// stored in seconds.
struct StoredValue
{
    const wchar_t* pszName;
    DWORD* pdwField;
    DWORD dwScale;
};

const StoredValue g_aStoredValues[] = {
    {L"Color1", &Settings::Color1, 1},
    {L"Color2", &Settings::Color2, 1},
    {L"Color3", &Settings::Color3, 1},
    {L"Color4", &Settings::Color4, 1},
    {L"Weekend", &Settings::Weekend, 1},
    {L"Weeks", &Settings::Weeks, 1},
    {L"Clock", &Settings::Clock, 1},
    {L"DayNames", &Settings::DayNames, 1},
    {L"DPad", &Settings::DPad, 1},
    {L"Gesture", &Settings::Gesture, 1},
    {L"Alarm", &Settings::Alarm, 1000},
};
const int kStoredValues = sizeof g_aStoredValues / sizeof g_aStoredValues[0];

} // namespace

void LoadSettings()
{
    using namespace Settings;
    CSysRegistry& registry = CSysRegistry::Instance();
    if (!registry.KeyExists(HKEY_CURRENT_USER, g_szSettingsKey))
        registry.CreateKey(HKEY_CURRENT_USER, g_szSettingsKey);

    for (int i = 0; i < kStoredValues; ++i) {
        const StoredValue& stored = g_aStoredValues[i];
        LoadDWord(registry, stored.pszName, *stored.pdwField, stored.dwScale);
    }
    LoadInt(registry, L"FontSize", FontSize);
    LoadDWord(registry, L"FontBold", FontBold);
    LoadFaceName(registry, L"Font", Font);
    LoadInt(registry, L"ClockFontSize", ClockFontSize);
    LoadDWord(registry, L"ClockFontBold", ClockFontBold);
    LoadFaceName(registry, L"ClockFont", ClockFont);
}

void SaveSettings()
{
    CSysRegistry& registry = CSysRegistry::Instance();
    if (!registry.KeyExists(HKEY_CURRENT_USER, g_szSettingsKey))
        registry.CreateKey(HKEY_CURRENT_USER, g_szSettingsKey);

    for (int i = 0; i < kStoredValues; ++i) {
        const StoredValue& stored = g_aStoredValues[i];
        registry.SetDWord(HKEY_CURRENT_USER, g_szSettingsKey, stored.pszName, *stored.pdwField / stored.dwScale);
    }
}

// The item's options: process-wide variables holding their built-in defaults
// from load, overlaid from the registry by LoadSettings and written back by
// SaveSettings.
#pragma once

#include <windows.h>

namespace Settings {

const int kFaceNameLength = 32; // characters, terminator included

extern COLORREF Color1;      // Saturday, when two weekend days are shown
extern COLORREF Color2;      // Sunday (every weekend day but Saturday)
extern COLORREF Color3;      // today
extern COLORREF Color4;      // the clock
extern DWORD Weekend;        // weekend days at the end of the week: 1 or 2
extern DWORD Weeks;          // show the week-number column
extern DWORD DayNames;       // show the weekday-name row
extern DWORD Clock;          // show the clock and the month header
extern DWORD Gesture;        // four stroke slots, see below
extern DWORD DPad;           // kept and saved, used by nothing
extern int FontSize;         // points
extern int ClockFontSize;    // points
extern DWORD ClockFontBold;
extern DWORD Alarm;          // alarm poll interval in ms; 0 hides the bell
extern wchar_t Font[kFaceNameLength];
extern wchar_t ClockFont[kFaceNameLength];

extern DWORD FontBold;

} // namespace Settings

// The alarm poll interval the options dialog switches on, in ms.
const DWORD kAlarmInterval = 60000;

// Gesture: stroke slot k (1..4) is bits 8(k-1)..8(k-1)+7. Each holds one of
// the action codes below.
enum StrokeSlot
{
    kStrokeDown = 1,  // mostly vertical, the finger moving down
    kStrokeUp = 2,    // mostly vertical, the finger moving up
    kStrokeLeft = 3,  // mostly horizontal, the finger moving left
    kStrokeRight = 4, // mostly horizontal, the finger moving right
};

enum GestureAction
{
    kGestureNone = 0,
    kGestureNextMonth = 1,
    kGesturePrevMonth = 2,
    kGestureNextYear = 4,
    kGesturePrevYear = 8,
};

// The settings key under HKEY_CURRENT_USER.
extern const wchar_t g_szSettingsKey[];

void LoadSettings();
void SaveSettings();

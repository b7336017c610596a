// The three alarms of the device clock, as the clock keeps them in the
// registry: HKLM\Software\Microsoft\Clock\<n>, "AlarmFlags" (REG_BINARY, first
// byte non-zero while the alarm is on) and "AlarmTime" (REG_DWORD, minutes
// after midnight).
#pragma once

#include <windows.h>

#include <array>

struct Alarm
{
    bool on = false;
    int hour = 7;
    int minute = 0;
};

using Alarms = std::array<Alarm, 3>;

Alarms LoadAlarms();
// False when a value could not be written.
bool SaveAlarms(const Alarms& alarms);

// The alarms page of the clock settings: each alarm switched on or off with
// its time; OK saves, Cancel leaves everything as it was.
#pragma once

#include <windows.h>

#include <string>

// Runs the page modally; true when it was closed with OK. With a screenshot
// file, the page writes its picture there once shown and closes as Cancel.
bool RunAlarmsPage(HINSTANCE instance, const std::wstring& screenshot);

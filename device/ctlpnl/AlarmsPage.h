// The alarms page of the clock settings: each alarm switched on or off with
// its time; OK saves, Cancel leaves everything as it was.
#pragma once

#include <windows.h>

#include <string>

// Runs the page modally; true when it was closed with OK.
bool RunAlarmsPage(HINSTANCE instance);

// Shows the page, writes its picture to a PNG file and closes it as Cancel;
// an error message, or an empty string.
std::wstring WriteAlarmsPage(HINSTANCE instance, const std::wstring& path);

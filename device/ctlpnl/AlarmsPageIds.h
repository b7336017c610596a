// The alarms page's dialog and control ids, for its resources, its code and
// the tests.
#pragma once

#define IDD_ALARMS 100
#define IDC_ALARM_FIRST 1000 // check boxes 1000..1002
#define IDC_TIME_FIRST 1010  // time pickers 1010..1012

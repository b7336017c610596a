// The item's resource and control ids, shared by its resources and its code,
// the Today screen that opens its options, and the tests.
#ifndef MESOLUNE_RESOURCE_H
#define MESOLUNE_RESOURCE_H

// The options dialog: a Today settings page opens an item's dialog of this id.
#define IDD_TODAY_CUSTOM 500

// The alarm bell: orange while an alarm is set, grey otherwise; the large ones
// (32 x 32) for 192-dpi screens, the others (16 x 16) for the rest.
#define IDI_ALARM_ON_LARGE 102
#define IDI_ALARM_ON 103
#define IDI_ALARM_OFF_LARGE 104
#define IDI_ALARM_OFF 105

// The options dialog's colour buttons.
#define IDC_SATURDAY_COLOR 1003
#define IDC_SUNDAY_COLOR 1004
#define IDC_TODAY_COLOR 1005
#define IDC_CLOCK_COLOR 1014

// Its switches.
#define IDC_TWO_WEEKEND_DAYS 1006
#define IDC_WEEKS 1007
#define IDC_CLOCK 1008
#define IDC_DAY_NAMES 1009
#define IDC_ALARM 1015

// Its stroke lists, by the label beside each.
#define IDC_STROKE_LEFT 1010
#define IDC_STROKE_RIGHT 1011
#define IDC_STROKE_UP 1012
#define IDC_STROKE_DOWN 1013

// Labels.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif

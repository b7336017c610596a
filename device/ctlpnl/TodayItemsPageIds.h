// The Today settings page's dialog and control ids, for its resources, its
// code and the tests.
#pragma once

#define IDD_TODAY_ITEMS 200
#define IDC_TODAY_ITEMS 2000   // the items, each with its check box
#define IDC_ITEM_UP 2001
#define IDC_ITEM_DOWN 2002
#define IDC_ITEM_OPTIONS 2003

// The Today settings page's items tab (Settings, Today, Items): the
// registered Today items in their order, each with a check box that shows
// it on the Today screen; Up and Down move the selected one, Options opens
// its options. OK writes each item's Enabled and Order and has a running
// Today screen reload its items; Cancel leaves everything as it was.
#pragma once

#include "Page.h"

Page TodayItemsPage();

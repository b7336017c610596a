// The alarms page of the clock settings: each alarm switched on or off with
// its time; OK saves, Cancel leaves everything as it was.
#pragma once

#include "Page.h"

Page AlarmsPage();

// A device's first start: a Today screen with no items at all installs the
// calendar from the CAB in the device's ROM, as a user installs it.
#pragma once

void InstallRomItems();

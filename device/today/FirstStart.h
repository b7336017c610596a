// A device's first start: a Today screen with no items at all installs the
// calendar from the CAB in the device's ROM, as a user installs it.
#pragma once

void InstallRomItems();

// A change of the device an installer began and did not finish (it was
// killed) is undone by the installer before the Today screen shows.
void UndoUnfinishedInstallation();

// Where the device's CAB installer keeps the journal of a change under way
// (HKLM in the device's registry): while it is there, a change was begun and
// not finished, and the installer's next start undoes it (wceload /recover).
#pragma once

#include <deviceinstaller.h>

constexpr wchar_t kInstallerJournalKey[] = DEVICE_INSTALLER_STATE_KEY L"\\Journal";

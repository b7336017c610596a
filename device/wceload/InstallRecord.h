// What an installation put on the device, kept in the device's registry
// (HKLM\Software\Apps\<name>, where a Pocket PC keeps its installed
// applications) so that removing it takes exactly that away.
#pragma once

#include <string>
#include <vector>

struct RecordedValue
{
    std::wstring key; // "HKLM\Software\..."
    std::wstring name;

    bool operator==(const RecordedValue&) const = default;
};

struct InstallRecord
{
    std::wstring appName;
    std::wstring installDir; // device paths from here on
    std::wstring setupDll;   // the setup library kept for the removal; empty when none
    bool noUninstall = false;
    std::vector<std::wstring> files;   // shortcuts included
    std::vector<std::wstring> folders; // made by the installation, outermost first
    std::vector<std::wstring> keys;    // made by the installation, outermost first
    std::vector<RecordedValue> values;
};

// Where the installer keeps an application's record, and its setup library.
std::wstring RecordKey(const std::wstring& appName);
std::wstring KeptSetupLibrary(const std::wstring& appName);

// The record of the application appName; false when it is not installed.
// Whatever it lists that is not the device's own (a path out of the store,
// a key of the installer's or of no root the device has, another setup
// library than the one the installer keeps) is left out, a line each in
// refused: a record may have been written by anyone.
bool ReadInstallRecord(const std::wstring& appName, InstallRecord& record, std::vector<std::wstring>& refused);
bool WriteInstallRecord(const InstallRecord& record);
// The names of the applications that have a record.
std::vector<std::wstring> InstalledApplications();
// The records of every installed application but appName.
std::vector<InstallRecord> OtherApplications(const std::wstring& appName);
void DeleteInstallRecord(const std::wstring& appName);

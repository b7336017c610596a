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
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders; // made by the installation
    std::vector<std::wstring> keys;    // made by the installation
    std::vector<RecordedValue> values;
};

// The record of the application appName; false when it is not installed.
bool ReadInstallRecord(const std::wstring& appName, InstallRecord& record);
bool WriteInstallRecord(const InstallRecord& record);
void DeleteInstallRecord(const std::wstring& appName);

// A CAB's _setup.xml, read as a Pocket PC's installer reads it: what to
// install, into which of the device's folders, and what to register.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegistryValue
{
    std::wstring name;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

struct RegistryKey
{
    HKEY root = nullptr;
    std::wstring rootName; // HKLM or HKCU
    std::wstring path;
    std::vector<RegistryValue> values;
};

struct InstalledFile
{
    std::wstring target; // a device path
    std::wstring source; // the CAB's member
};

struct SetupDocument
{
    std::wstring appName;
    std::wstring installDir;              // a device path
    std::wstring setupDll;                // the CAB's member; empty when none
    std::vector<std::wstring> folders;    // device paths, in the order made
    std::vector<InstalledFile> files;
    std::vector<RegistryKey> keys;
};

// The document in the file at path; false with the reason when it is not
// well formed or asks for what the installer does not do.
bool ReadSetupDocument(const std::wstring& path, SetupDocument& document, std::wstring& error);

// A device folder for a name of _setup.xml: the %CEn% folders stand for the
// device's own ("%CE2%\x" is "\Windows\x"); false for an unknown one.
bool TranslateFolder(const std::wstring& name, std::wstring& devicePath);

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

// A shortcut the installation puts in a folder: a .lnk file naming its target.
struct Shortcut
{
    std::wstring path;   // the .lnk file's device path
    std::wstring target; // a device path
};

struct SetupDocument
{
    std::wstring appName;
    std::wstring installDir;              // a device path
    std::wstring setupDll;                // the CAB's member; empty when none
    bool noUninstall = false;             // the application cannot be removed
    std::vector<std::wstring> folders;    // device paths, in the order made
    std::vector<InstalledFile> files;
    std::vector<RegistryKey> keys;
    std::vector<Shortcut> shortcuts;
};

// The largest _setup.xml the installer reads.
constexpr unsigned long kMaxSetupDocumentBytes = 256 * 1024;

// The document in the file at path; false with the reason when it is not
// well formed, asks for what the installer does not do, or names a path
// that leaves the device or a registry key that is the installer's own.
bool ReadSetupDocument(const std::wstring& path, SetupDocument& document, std::wstring& error);

// A registry key's path below its root: parts that are not empty and hold no
// control character.
bool IsRegistryKeyPath(const std::wstring& path);

// Whether a registry key (root and path) is one of the installer's own, which
// no CAB may write: HKLM\Software\Apps and HKLM\Software\AppMgr.
bool IsInstallersKey(HKEY root, const std::wstring& path);

// Whether a device folder is the installer's own, which no CAB may write:
// \Windows\AppMgr (its kept setup libraries, its journal's copies) and
// what lies in it.
bool IsInstallersFolder(const std::wstring& devicePath);

// A device folder for a name of _setup.xml: the %CEn% folders stand for the
// device's own ("%CE2%\x" is "\Windows\x"); false for an unknown one.
bool TranslateFolder(const std::wstring& name, std::wstring& devicePath);

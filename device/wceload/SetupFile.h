// A Pocket PC CAB's setup file, the member whose name ends in .000, read as
// the platform's installer reads it: a 100-byte header ("MSCE", the
// processor, the Windows CE versions the CAB installs on), then tables of
// strings, folders, files, registry keys and values, and links, each found
// by the header's offsets and counts. Every offset, count, length and ID is
// held to the file before it is used; what the file asks for is held to the
// same walls as a _setup.xml's.
#pragma once

#include "SetupDocument.h"

#include <windows.h>

#include <string>
#include <vector>

// The largest setup file the installer reads.
constexpr unsigned long kMaxSetupFileBytes = 256 * 1024;

// What the header says of the devices the CAB is for.
struct SetupFileTarget
{
    DWORD architecture = 0; // a processor type, 0 for any
    DWORD minMajor = 0;     // Windows CE's versions, 0 for no bound
    DWORD minMinor = 0;
    DWORD maxMajor = 0;
    DWORD maxMinor = 0;
    bool unsupportedOnPocketPc = false; // the CAB says it is not for a Pocket PC
};

// The setup file at path, with the CAB's members' names: each file's
// member is the one named with the file's number as its extension (".001"),
// the setup library the member ".999" when there is one. The installation
// folder is the first folder. False with the reason when the file is not a
// setup file, lies about its own tables, or asks for what the installer
// does not do or may not do.
bool ReadSetupFile(const std::wstring& path, const std::vector<std::wstring>& members, SetupDocument& document,
    SetupFileTarget& target, std::wstring& error);

// The device's functions an ARM module may import: one table, one line an
// import (Imports.cpp), each argument typed by what the guest hands the host
// (ImportArgs.h), from which the checks and the gateway are made. The few
// that need more than their arguments' types have a thunk of their own, in
// a file for their library.
#pragma once

#include "GuestCall.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace armce {

// A parameter as the host's function declares it.
enum class HostParam : std::uint8_t
{
    kScalar,      // a number
    kHandle,      // a handle type (HWND, HKEY, ...)
    kVoidPointer, // HANDLE, HGDIOBJ, LPVOID: a handle or a pointer, as named
    kData,        // a pointer to data
    kProcedure,   // a pointer to code
};

// What the table says the guest hands over.
enum class GuestArg : std::uint8_t
{
    kValue,       // a number, as it is
    kHandle,      // a handle, sign-extended
    kKey,         // a registry key the module opened or a root of the device's, or the module stops
    kOwned,       // a handle the module made, or the call is refused
    kOwnWindow,   // a window of the module's, or the call is refused
    kUsable,      // a DC or GDI object the module made or the device handed it, or the module stops
    kOpaque,      // a guest pointer the host keeps or hands back, never reads
    kIgnored,     // what Windows CE takes as null
    kModule,      // the module's own instance handle
    kString,      // NUL-terminated wide text, bounded
    kRecordIn,    // a record read
    kRecordOut,   // a record written
    kRecordInOut, // a record read and written back
    kBytesIn,     // a buffer read, its size another argument
    kBytesOut,    // a buffer written, its size another argument or record
    kHandleOut,   // where a handle is written
    kProcedure,   // guest code, in the module's image
};

struct Param
{
    HostParam host;
    GuestArg guest;
};

// An import's handler: the guest's call, and the host's function.
using Thunk = std::uint32_t (*)(GuestCall& call, FARPROC host);

struct Import
{
    const char* library; // lower case, as "coredll.dll"
    const char* name;
    Thunk thunk;
    const Param* params;
    std::uint8_t count;
    bool blocking; // waits for the user (a modal loop): its time is not the module's
};

const Import* Imports();
std::size_t ImportCount();
// The index of an import in the table; false when the device has none.
bool FindImport(const std::string& library, const std::string& name, std::size_t& index);
// The host's function behind an import, looked up once.
FARPROC HostFunction(std::size_t index);

} // namespace armce

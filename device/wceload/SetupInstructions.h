// What a CAB asks the installer to do, read as the device's platform reads
// it: from the binary setup file (the member *.000) where the platform reads
// one and the CAB has it, else from _setup.xml where the platform reads
// that; held to the processor and the Windows CE versions the setup file
// says the CAB is for.
#pragma once

#include "DeviceStore.h"
#include "SetupDocument.h"

#include <string>

// The instructions of the CAB at cabPath, unpacked into staging; false with
// the line the user is told when the platform finds none it reads, or they
// are not for this device.
bool ReadSetupInstructions(const std::wstring& cabPath, const StagingFolder& staging, SetupDocument& document,
    std::wstring& error);

// The item module the module tests load: this build's mesolune.dll, or,
// when MESOLUNE_ITEM_ARCH is "arm", the Windows CE build's for ARM (in the
// folder MESOLUNE_CE_DIR names, as make check names it when it has one), run
// on the device's emulated processor.
#pragma once

#include "ItemModule.h"

#include <memory>
#include <string>

namespace itemundertest {

// Whether the tests are asked to load the ARM module.
bool Arm();
// The module file's path; empty when the ARM module is asked for and there
// is none.
std::wstring Path();
// The module, loaded; null when it cannot be.
std::unique_ptr<ItemModule> Load();

} // namespace itemundertest

// A test of the ARM module without one skips.
#define SKIP_WITHOUT_ITEM_MODULE()                                                        \
    if (itemundertest::Path().empty())                                                    \
    GTEST_SKIP() << "no Windows CE build named (make ce builds one)"

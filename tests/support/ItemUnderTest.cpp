#include "ItemUnderTest.h"

#include "DeviceProgram.h"
#include "DevicePath.h"

#include <cstdlib>
#include <cstring>

namespace itemundertest {

bool Arm()
{
    const char* arch = std::getenv("MESOLUNE_ITEM_ARCH");
    return arch && std::strcmp(arch, "arm") == 0;
}

std::wstring Path()
{
    if (!Arm())
        return deviceprogram::BinFolder() + L"mesolune.dll";
    return deviceprogram::CeBuildFile("mesolune.dll");
}

std::unique_ptr<ItemModule> Load()
{
    std::wstring error;
    return ItemModule::Load(Path(), L"mesolune.dll", error);
}

} // namespace itemundertest

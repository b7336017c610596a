// A program run in the device sees the profile's screen size and density.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

TEST(DeviceScreen, MatchesTheProfile)
{
    int width = 0, height = 0;
    ASSERT_EQ(2, std::sscanf(Env("DEVICE_SCREEN").c_str(), "%dx%d", &width, &height));
    const int dpi = std::atoi(Env("DEVICE_DPI").c_str());

    EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));
    HDC hdc = GetDC(nullptr);
    ASSERT_NE(nullptr, hdc);
    EXPECT_EQ(dpi, GetDeviceCaps(hdc, LOGPIXELSX));
    EXPECT_EQ(dpi, GetDeviceCaps(hdc, LOGPIXELSY));
    ReleaseDC(nullptr, hdc);
}

} // namespace

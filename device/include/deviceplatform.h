// The device's platform: which Pocket PC it is (Pocket PC 2002 to Windows
// Mobile 6), with that platform's Windows CE version, the processor its ARM
// modules run on and the setup files its installer reads. A run chooses it:
// the environment variable DEVICE_PLATFORM names it for a program and the
// programs it starts (the launcher's --platform sets it); with none named,
// the device is the newest platform.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The environment variable that names the platform of a run.
#define DEVICE_PLATFORM_VARIABLE L"DEVICE_PLATFORM"

// The processors the device's platforms shipped on, as the ARM runner
// emulates them.
#define DEVICE_PROCESSOR_SA1110 1 // StrongARM: ARMv4, no Thumb, no BX
#define DEVICE_PROCESSOR_TI925T 2 // ARMv4T
#define DEVICE_PROCESSOR_PXA270 3 // XScale: ARMv5TE

// The setup files a platform's installer reads (flags).
#define DEVICE_SETUP_FILE 0x1 // a CAB's binary setup file, the member *.000
#define DEVICE_SETUP_XML 0x2  // a CAB's _setup.xml

typedef struct DEVICE_PLATFORM
{
    WCHAR szName[16];  // as the launcher takes it: "ppc2002", ...
    WCHAR szTitle[48]; // "Pocket PC 2002", ...
    DWORD dwMajorVersion; // Windows CE's
    DWORD dwMinorVersion;
    DWORD dwProcessor;    // DEVICE_PROCESSOR_...
    DWORD dwSetupFiles;   // DEVICE_SETUP_...
    BOOL fTodayKeys;      // its Today screen gives items the selection and the keys
} DEVICE_PLATFORM;

// The calling program's platform: the one its environment names, else the
// newest. FALSE, with the newest in *pPlatform, when the environment names
// a platform the device does not know.
BOOL WINAPI DeviceGetPlatform(DEVICE_PLATFORM* pPlatform);
// The name of the known platform with this index, or NULL past the last.
LPCWSTR WINAPI DevicePlatformName(int index);

#ifdef __cplusplus
}
#endif

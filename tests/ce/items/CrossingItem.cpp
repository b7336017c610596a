// An ARM module for the benchmark of the device's runner: a function that
// returns at once (a call in and back), and one that calls the device n
// times (n calls out).
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

extern "C" DWORD Nothing(DWORD dwValue)
{
    return dwValue;
}

extern "C" DWORD CallOut(DWORD dwCalls)
{
    DWORD dwSum = 0;
    for (DWORD i = 0; i < dwCalls; ++i)
        dwSum += GetTickCount();
    return dwSum;
}

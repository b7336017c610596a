// Today items for ARM that fail as an item can fail on a device, each in its
// export 240: FAULT_MISALIGNED reads a word at an odd address, FAULT_LOOP
// never returns, FAULT_UNDEFINED runs an undefined instruction, FAULT_NULL
// reads through a null record's field, FAULT_IMPORT imports a function the
// device does not have.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

extern "C" HWND WINAPI InitializeCustomItem(void*, HWND)
{
#if defined(FAULT_MISALIGNED)
    static char s_bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    volatile char* pOdd = s_bytes + 1;
    return reinterpret_cast<HWND>(*reinterpret_cast<volatile DWORD*>(pOdd));
#elif defined(FAULT_LOOP)
    for (volatile int n = 0;; n = n + 1) {
    }
#elif defined(FAULT_UNDEFINED)
    __asm__ volatile(".word 0xe7f000f0");
    return NULL;
#elif defined(FAULT_NULL)
    volatile DWORD* pRecord = NULL;
    return reinterpret_cast<HWND>(pRecord[1]);
#elif defined(FAULT_IMPORT)
    SYSTEM_POWER_STATUS_EX status;
    GetSystemPowerStatusEx(&status, FALSE);
    return NULL;
#endif
}

// The module's own start-up, in place of a C runtime: its entry point runs the
// module's constructors before DllMain at process attach, and its exit list
// after DllMain at process detach, as a Windows CE C runtime's DLL entry does.
// Constructed globals and function-local statics put their destructors on
// that list. operator new and delete take the core library's heap.
#include "ModuleHeap.h"

#include <windows.h>

#include <stdlib.h>

typedef void(__cdecl* PFNVOID)(void);

extern "C" {

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved);

// The linker's list of the module's constructors: a -1 marker, the
// constructors, a null end.
extern PFNVOID __CTOR_LIST__[];

} // extern "C"

namespace {

// Room for every destructor of the module's globals and statics; one more is
// refused, and the device's debug output says so.
const int kMaxExitFunctions = 32;

PFNVOID g_apfnExit[kMaxExitFunctions];
int g_nExitFunctions = 0;

void RunConstructors()
{
    // The compiler lists them in reverse: the last runs first.
    int n = 0;
    while (__CTOR_LIST__[n + 1])
        ++n;
    for (; n >= 1; --n)
        __CTOR_LIST__[n]();
}

void RunExitList()
{
    while (g_nExitFunctions > 0)
        g_apfnExit[--g_nExitFunctions]();
}

} // namespace

extern "C" int __cdecl atexit(PFNVOID pfn)
{
    if (g_nExitFunctions == kMaxExitFunctions) {
        // The compiler's callers ignore the answer: the refusal is told here.
        OutputDebugStringW(L"DllMainCRTStartup: the exit list is full; a destructor will not run at unload\r\n");
        return -1;
    }
    g_apfnExit[g_nExitFunctions++] = pfn;
    return 0;
}

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        RunConstructors();
    const BOOL bResult = DllMain(hInstance, dwReason, pvReserved);
    if (dwReason == DLL_PROCESS_DETACH)
        RunExitList();
    return bResult;
}

void* operator new(size_t cb) throw()
{
    return malloc(cb);
}

void operator delete(void* pv) throw()
{
    free(pv);
}

void operator delete(void* pv, size_t) throw()
{
    free(pv);
}

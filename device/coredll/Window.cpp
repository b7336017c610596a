// Window classes registered through the device library see the messages a
// Windows CE window sees. The desktop sends non-client and sizing messages
// that Windows CE never sends, starting with WM_NCCREATE before WM_CREATE; a
// Windows CE window procedure hands those to DefWindowProcW with whatever
// handle it holds (null while its window is being created), and the creation
// would fail. Those messages are answered here by the window's own default
// procedure and never reach the class's procedure. Windows of these classes,
// and the window DCs taken through the library, are counted while they live.
#include "Accounting.h"
#include "Failures.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// A class is its name's atom and the module that registered it: two modules
// may each register a class of one name.
struct RegisteredClass
{
    ATOM atom;
    HINSTANCE instance;
    WNDPROC procedure;
};

std::mutex g_classesMutex;
std::vector<RegisteredClass> g_classes;

void Forget(ATOM atom, HINSTANCE instance)
{
    std::erase_if(g_classes, [&](const RegisteredClass& c) { return c.atom == atom && c.instance == instance; });
}

void Remember(ATOM atom, HINSTANCE instance, WNDPROC procedure)
{
    std::lock_guard<std::mutex> lock(g_classesMutex);
    // A module unloaded without unregistering left its class's procedure.
    Forget(atom, instance);
    g_classes.push_back({atom, instance, procedure});
}

void ForgetClass(ATOM atom, HINSTANCE instance)
{
    std::lock_guard<std::mutex> lock(g_classesMutex);
    Forget(atom, instance);
}

// A class registered without a module is the process's.
HINSTANCE ClassModule(HINSTANCE instance)
{
    return instance ? instance : GetModuleHandleW(nullptr);
}

WNDPROC ProcedureOf(HWND window)
{
    const auto atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
    const auto instance = reinterpret_cast<HINSTANCE>(GetClassLongPtrW(window, GCLP_HMODULE));
    std::lock_guard<std::mutex> lock(g_classesMutex);
    for (const RegisteredClass& c : g_classes)
        if (c.atom == atom && c.instance == instance)
            return c.procedure;
    return nullptr;
}

bool NeverSentOnWindowsCe(UINT message)
{
    switch (message) {
    case WM_SETCURSOR:
    case WM_MOUSEACTIVATE:
    case WM_GETMINMAXINFO:
    case WM_GETICON:
    case WM_NCCREATE:
    case WM_NCDESTROY:
    case WM_NCCALCSIZE:
    case WM_NCHITTEST:
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SYNCPAINT:
    case WM_NCMOUSEHOVER:
    case WM_NCMOUSELEAVE:
        return true;
    default:
        // WM_NCMOUSEMOVE ... WM_NCXBUTTONDBLCLK and the desktop's private
        // non-client messages after them.
        return message >= WM_NCMOUSEMOVE && message <= 0x00AF;
    }
}

LRESULT CALLBACK CeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC procedure = ProcedureOf(window);
    if (message == WM_NCCREATE)
        coredll::Made(DEVICE_WINDOWS, window);
    else if (message == WM_NCDESTROY)
        coredll::Released(DEVICE_WINDOWS, window);
    if (!procedure || NeverSentOnWindowsCe(message))
        return DefWindowProcW(window, message, wParam, lParam);
    return CallWindowProcW(procedure, window, message, wParam, lParam);
}

} // namespace

extern "C" {

ATOM WINAPI CeRegisterClassW(const WNDCLASSW* windowClass)
{
    CE_FALLIBLE("RegisterClassW", 0);
    if (!windowClass)
        return RegisterClassW(windowClass);
    WNDCLASSW ceClass = *windowClass;
    ceClass.lpfnWndProc = CeWindowProc;
    const ATOM atom = RegisterClassW(&ceClass);
    if (atom)
        Remember(atom, ClassModule(windowClass->hInstance), windowClass->lpfnWndProc);
    return atom;
}

BOOL WINAPI CeUnregisterClassW(LPCWSTR className, HINSTANCE instance)
{
    WNDCLASSEXW info = {};
    info.cbSize = sizeof info;
    const ATOM atom = static_cast<ATOM>(GetClassInfoExW(instance, className, &info));
    const BOOL unregistered = UnregisterClassW(className, instance);
    if (unregistered && atom)
        ForgetClass(atom, ClassModule(instance));
    return unregistered;
}

HDC WINAPI CeGetDC(HWND window)
{
    CE_FALLIBLE("GetDC", nullptr);
    return coredll::Counted(DEVICE_DCS, GetDC(window));
}

int WINAPI CeReleaseDC(HWND window, HDC dc)
{
    return coredll::ForgottenIf(ReleaseDC(window, dc), DEVICE_DCS, dc);
}

HDC WINAPI CeBeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    CE_FALLIBLE("BeginPaint", nullptr);
    return coredll::Counted(DEVICE_DCS, BeginPaint(window, paint));
}

BOOL WINAPI CeEndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (paint)
        coredll::Released(DEVICE_DCS, paint->hdc);
    return EndPaint(window, paint);
}

} // extern "C"

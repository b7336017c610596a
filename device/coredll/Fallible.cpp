// The platform's functions that the library would otherwise forward as they
// are, taken through it so that a test can make them fail for an item
// (devicefailures.h), each the way the platform reports its failure.
#include "Failures.h"

extern "C" {

HWND WINAPI CeCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    CE_FALLIBLE("CreateWindowExW", nullptr);
    return CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance,
        parameter);
}

HGDIOBJ WINAPI CeSelectObject(HDC dc, HGDIOBJ object)
{
    CE_FALLIBLE("SelectObject", nullptr);
    return SelectObject(dc, object);
}

BOOL WINAPI CeBitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop)
{
    CE_FALLIBLE("BitBlt", FALSE);
    return BitBlt(target, x, y, width, height, source, sourceX, sourceY, rop);
}

int WINAPI CeDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format)
{
    CE_FALLIBLE("DrawTextW", 0);
    return DrawTextW(dc, text, length, rect, format);
}

int WINAPI CeFillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    CE_FALLIBLE("FillRect", 0);
    return FillRect(dc, rect, brush);
}

BOOL WINAPI CeDrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH brush, UINT flags)
{
    CE_FALLIBLE("DrawIconEx", FALSE);
    return DrawIconEx(dc, x, y, icon, width, height, step, brush, flags);
}

int WINAPI CeGetObjectW(HANDLE object, int size, LPVOID buffer)
{
    CE_FALLIBLE("GetObjectW", 0);
    return GetObjectW(object, size, buffer);
}

HRSRC WINAPI CeFindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    CE_FALLIBLE("FindResourceW", nullptr);
    return FindResourceW(module, name, type);
}

HGLOBAL WINAPI CeLoadResource(HMODULE module, HRSRC resource)
{
    CE_FALLIBLE("LoadResource", nullptr);
    return LoadResource(module, resource);
}

HANDLE WINAPI CeCreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    CE_FALLIBLE("CreateEventW", nullptr);
    return CreateEventW(security, manualReset, initialState, name);
}

} // extern "C"

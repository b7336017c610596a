// The object a window was made for: the creation parameter of
// CreateWindowEx, kept with the window from WM_CREATE on. A window procedure
// asks for it with each message; null before WM_CREATE.
#pragma once

#include <windows.h>

template <typename T>
T* WindowObject(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_CREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

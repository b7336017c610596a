#include "TestHost.h"

#include "TopDownBitmap.h"
#include "WindowObject.h"

namespace testhost {

namespace {

constexpr wchar_t kHostClass[] = L"MesoluneTestHost";

} // namespace

HBITMAP MakeBackground(int width, int height, POINT origin)
{
    void* bits = nullptr;
    HBITMAP bitmap = CreateTopDownBitmap(width, height, &bits);
    if (!bitmap)
        return bitmap;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = BackgroundAt(origin.x + x, origin.y + y);
            pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    return bitmap;
}

Image CaptureDc(HDC source, int width, int height)
{
    Image image;
    image.width = width;
    image.height = height;
    void* dibBits = nullptr;
    HBITMAP dib = CreateTopDownBitmap(width, height, &dibBits);
    if (!dib)
        return image;
    HDC memory = CreateCompatibleDC(source);
    const HGDIOBJ previous = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(dibBits);
    image.pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(dib);
    return image;
}

Image CaptureWindow(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Image image = CaptureDc(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return image;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

TestHost::TestHost(COLORREF text) : textColor(text)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassW(&wc);
    backgroundDc_ = CreateCompatibleDC(nullptr);
    window_ = CreateWindowExW(0, kHostClass, L"Test host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1, 1,
        nullptr, nullptr, wc.hInstance, this);
    FitScreen();
    ready_ = CreateEventW(nullptr, TRUE, TRUE, L"SYSTEM/ShellAPIReady");
    PumpMessages();
}

TestHost::~TestHost()
{
    DestroyWindow(window_);
    PumpMessages();
    CloseHandle(ready_);
    SelectObject(backgroundDc_, previous_);
    DeleteDC(backgroundDc_);
    DeleteObject(background_);
}

void TestHost::FitScreen()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HBITMAP background = MakeBackground(width, height);
    const HGDIOBJ replaced = SelectObject(backgroundDc_, background);
    if (background_)
        DeleteObject(replaced);
    else
        previous_ = replaced;
    background_ = background;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TestHost::SetReady(bool ready)
{
    if (ready)
        SetEvent(ready_);
    else
        ResetEvent(ready_);
}

LRESULT CALLBACK TestHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* host = WindowObject<TestHost>(window, message, lParam);
    if (!host)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case TODAYM_GETCOLOR:
        ++host->colorRequests;
        switch (wParam) {
        case TODAYCOLOR_TEXT:
            return host->textColor;
        case TODAYCOLOR_HIGHLIGHT:
            return host->highlightColor;
        case TODAYCOLOR_HIGHLIGHTEDTEXT:
            return host->highlightTextColor;
        default:
            return RGB(1, 1, 1);
        }
    case TODAYM_DRAWWATERMARK: {
        const auto& info = *reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam);
        host->watermarks.push_back(info);
        POINT origin = {0, 0};
        if (host->itemOrigin)
            origin = *host->itemOrigin;
        else if (info.hwnd)
            MapWindowPoints(info.hwnd, window, &origin, 1);
        BitBlt(info.hdc, info.rc.left, info.rc.top, info.rc.right - info.rc.left, info.rc.bottom - info.rc.top,
            host->backgroundDc_, origin.x + info.rc.left, origin.y + info.rc.top, SRCCOPY);
        return TRUE;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace testhost

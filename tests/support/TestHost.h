// A stand-in for the Today screen inside a test: a full-screen window that
// answers the item requests, records them, and paints a background whose
// every pixel the test can predict.
#pragma once

#include <todaycmn.h>

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace testhost {

// The background at a point of the screen window.
inline COLORREF BackgroundAt(int x, int y)
{
    return RGB((x * 3) & 0xFF, (y * 2) & 0xFF, 0x60 + ((x + y) & 0x3F));
}

// A 32-bit picture of the background from the point origin of the screen
// window on.
HBITMAP MakeBackground(int width, int height, POINT origin = {0, 0});

// Pixels read back from a device context or a window, as COLORREF values.
struct Image
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Image CaptureDc(HDC source, int width, int height);
Image CaptureWindow(HWND window);

// Dispatches every message waiting for this thread.
void PumpMessages();

// The record a Today screen hands export 240 for an item it shows.
inline TODAYLISTITEM ShownItemRecord()
{
    TODAYLISTITEM record = {};
    record.tlit = TLIT_CUSTOM;
    record.fEnabled = TRUE;
    return record;
}

class TestHost
{
public:
    explicit TestHost(COLORREF textColor = RGB(0xE0, 0xF0, 0xFF));
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    HWND Window() const { return window_; }
    // The shell's readiness signal, set or unset.
    void SetReady(bool ready);
    // The window and its background at the device screen's size now, as the
    // Today screen takes it when the screen turns.
    void FitScreen();

    COLORREF textColor;
    // Its answers for a selected item's background and text.
    COLORREF highlightColor = RGB(0x28, 0x50, 0xA0);
    COLORREF highlightTextColor = RGB(0xFF, 0xF0, 0x80);
    // Where the host will place its item: the background it paints for the
    // item lies there, wherever the item window is now. Unset, the item
    // window's present place is used.
    std::optional<POINT> itemOrigin;
    int colorRequests = 0;
    std::vector<TODAYDRAWWATERMARKINFO> watermarks;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    HDC backgroundDc_ = nullptr;
    HBITMAP background_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

} // namespace testhost

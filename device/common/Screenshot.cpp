#include "Screenshot.h"

#include "TopDownBitmap.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

struct ProgramWindows
{
    DWORD process;
    std::vector<HWND> topDown;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    auto* windows = reinterpret_cast<ProgramWindows*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == windows->process && IsWindowVisible(window))
        windows->topDown.push_back(window);
    return TRUE;
}

// 24-bit rows of the program's windows inside area, composed from their own
// pixels bottom to top: the display may show other programs' windows over
// them, which the picture must not contain.
std::vector<std::uint8_t> CaptureRows(const RECT& area, int& stride)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<size_t>(stride) * height);

    ProgramWindows windows{GetCurrentProcessId(), {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, width, height, BLACKNESS);
    for (auto window = windows.topDown.rbegin(); window != windows.topDown.rend(); ++window) {
        // Whatever is still to be painted, painted first.
        RedrawWindow(*window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT frame;
        GetWindowRect(*window, &frame);
        HDC source = GetWindowDC(*window);
        BitBlt(memory, frame.left - area.left, frame.top - area.top, frame.right - frame.left,
            frame.bottom - frame.top, source, 0, 0, SRCCOPY);
        ReleaseDC(*window, source);
    }
    SelectObject(memory, previous);

    BITMAPINFO info = TopDownBitmapInfo(width, height, 24);
    GetDIBits(memory, bitmap, 0, height, rows.data(), &info, DIB_RGB_COLORS);

    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return rows;
}

std::wstring Failed(const wchar_t* step, HRESULT result)
{
    wchar_t text[96];
    wsprintfW(text, L"%s failed (0x%08lX)", step, static_cast<unsigned long>(result));
    return text;
}

} // namespace

std::wstring WriteScreenshot(const RECT& area, const std::wstring& path)
{
    const UINT width = area.right - area.left;
    const UINT height = area.bottom - area.top;
    int stride = 0;
    std::vector<std::uint8_t> rows = CaptureRows(area, stride);

    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(hr))
        return Failed(L"the imaging factory", hr);
    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(&stream)) ||
        FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return Failed(L"opening the file", hr);
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)))
        return Failed(L"the PNG encoder", hr);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> properties;
    if (FAILED(hr = encoder->CreateNewFrame(&frame, &properties)) || FAILED(hr = frame->Initialize(properties.Get())) ||
        FAILED(hr = frame->SetSize(width, height)))
        return Failed(L"the PNG frame", hr);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR)
        return Failed(L"the pixel format", hr);
    if (FAILED(hr = frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit()))
        return Failed(L"writing the PNG", hr);
    return L"";
}

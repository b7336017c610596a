#include "DeviceInput.h"

namespace deviceinput {

namespace {

constexpr DWORD kEchoMilliseconds = 20;

} // namespace

void BringPointerTo(POINT point)
{
    const RECT spot = {point.x, point.y, point.x + 1, point.y + 1};
    ClipCursor(&spot);
    Sleep(50);
    ClipCursor(nullptr);
}

DWORD InputTime()
{
    return static_cast<DWORD>(GetTickCount64());
}

void Stylus(POINT point, DWORD buttons, DWORD time)
{
    // Over the whole desktop, which the device's screen is a part of.
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // The smallest normalised coordinate that maps back onto the pixel.
    input.mi.dx = ((point.x - left) * 65536 + width - 1) / width;
    input.mi.dy = ((point.y - top) * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | buttons;
    input.mi.time = time;
    SendInput(1, &input, sizeof input);
}

void Button(DWORD buttons, DWORD time)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = buttons;
    input.mi.time = time;
    SendInput(1, &input, sizeof input);
}

void Approach(POINT point, DWORD time)
{
    for (int i = 0; i < 2; ++i) {
        Stylus(point, 0, time);
        Sleep(kEchoMilliseconds);
    }
}

void PressKey(WORD key, DWORD time)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[0].ki.time = input[1].ki.time = time;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

} // namespace deviceinput

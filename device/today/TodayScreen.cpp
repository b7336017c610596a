#include "TodayScreen.h"

#include "Report.h"
#include "WindowObject.h"

#include <ArmModule.h>

#include <devicescreen.h>

#include <string>
#include <utility>

namespace {

constexpr wchar_t kShellReadyEvent[] = L"SYSTEM/ShellAPIReady";
constexpr DWORD kFramedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kRefreshTimer = 1;
// An ARM item stopped: the screen closes up without it (the automation's
// messages are below this).
constexpr UINT kItemStopped = WM_APP + 16;

} // namespace

TodayScreen::TodayScreen(const HostOptions& options, std::vector<InputStep> input)
    : options_(options), input_(std::move(input))
{
}

TodayScreen::~TodayScreen()
{
    automation_.reset();
    armce::SetFaultReporter(Report);
    // Item windows go with the screen window, before their modules are freed.
    if (window_)
        DestroyWindow(window_);
    host_.reset();
}

int TodayScreen::Run()
{
    // The device's screen on the desktop is a desktop window: its class is
    // the desktop's own (the device library's would keep the desktop's
    // sizing messages from it, as from a Windows CE window).
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = DEVICE_SCREEN_WINDOW_CLASS;
    RegisterClassExW(&wc);
    // On a bare X server the screen's window is the screen, at the corner;
    // on a desktop it is an ordinary window.
    const DWORD style = options_.bareDisplay ? WS_POPUP : kFramedStyle;
    const int position = options_.bareDisplay ? 0 : CW_USEDEFAULT;
    window_ = CreateWindowExW(0, DEVICE_SCREEN_WINDOW_CLASS, L"", style | WS_CLIPCHILDREN, position, position, 1, 1,
        nullptr, nullptr, wc.hInstance, this);
    if (!window_) {
        Report(L"cannot create the Today screen window (error " + std::to_wstring(GetLastError()) + L")");
        return 1;
    }
    layout_ = std::make_unique<ScreenLayout>(window_);
    layout_->Follow();
    ShowWindow(window_, SW_SHOW);

    shellReady_.Reset(CreateEventW(nullptr, TRUE, FALSE, kShellReadyEvent));
    armce::SetFaultReporter([window = window_](const std::wstring& line) {
        Report(line);
        PostMessageW(window, kItemStopped, 0, 0);
    });
    host_ = std::make_unique<ItemHost>(window_, *layout_);
    if (!host_->Load()) {
        exitCode_ = 1;
        DestroyWindow(window_);
        return exitCode_;
    }
    SetEvent(shellReady_.Get());
    Refresh();
    SetTimer(window_, kRefreshTimer, kRefreshMilliseconds, nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
    automation_ = std::make_unique<Automation>(
        options_, std::move(input_), window_, *host_, [this] { Rotate(); }, [this] { Refresh(); },
        [this] { exitCode_ = 1; });
    automation_->Start();

    MSG message;
    for (;;) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            automation_->Idle();
            if (GetMessageW(&message, nullptr, 0, 0) <= 0)
                break;
        } else if (message.message == WM_QUIT) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return exitCode_;
}

void TodayScreen::Rotate()
{
    std::wstring problem;
    if (!layout_->Turn(problem)) {
        Report(problem);
        return;
    }
    // Each item gets its new width, then says whether it has changed.
    host_->Layout();
    Refresh();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TodayScreen::Refresh()
{
    host_->Refresh();
    layout_->ShowArmItems(host_->HasArmItems());
    layout_->FollowClock();
}

LRESULT CALLBACK TodayScreen::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* screen = WindowObject<TodayScreen>(window, message, lParam);
    if (!screen)
        return DefWindowProcW(window, message, wParam, lParam);
    // Its messages from WM_CREATE on come before CreateWindowExW returns it.
    if (message == WM_CREATE)
        screen->window_ = window;
    return screen->Handle(message, wParam, lParam);
}

LRESULT TodayScreen::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (automation_ && automation_->Handle(message, wParam, lParam))
        return 0;
    switch (message) {
    case TODAYM_GETCOLOR:
    case TODAYM_DRAWWATERMARK:
        return host_ ? host_->Answer(message, wParam, lParam) : 0;
    case WM_TIMER:
        if (wParam == kRefreshTimer)
            Refresh();
        return 0;
    case kItemStopped:
        Refresh();
        return 0;
    case WM_WININICHANGE:
        // The items' entries changed (the Today settings page, an installer).
        if (wParam == TODAY_RELOAD_ITEMS && host_)
            host_->Reload();
        return 0;
    case WM_KEYDOWN:
        if (wParam == kRotateKey)
            Rotate();
        else if (host_)
            host_->OnKey(wParam);
        return 0;
    case WM_LBUTTONUP:
        OnTap(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_GETMINMAXINFO:
        if (layout_)
            layout_->KeepWholeScreen(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_DESTROY:
        KillTimer(window_, kRefreshTimer);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        PostQuitMessage(exitCode_);
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void TodayScreen::Paint()
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(window_, &ps);
    if (layout_)
        layout_->Paint(hdc, ps.rcPaint, host_ && host_->SelectedHasOptions() ? L"Настройки" : L"");
    EndPaint(window_, &ps);
}

void TodayScreen::OnTap(POINT point)
{
    // The right soft key.
    RECT key = layout_->SoftKeyBar();
    key.left = (key.left + key.right) / 2;
    if (host_ && PtInRect(&key, point))
        host_->OpenSelectedOptions();
}

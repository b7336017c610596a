#include "TodayScreen.h"

#include "DevicePath.h"
#include "Screenshot.h"
#include "Utf8.h"
#include "WindowObject.h"
#include "resource.h"

#include <devicescreen.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

constexpr wchar_t kShellReadyEvent[] = L"SYSTEM/ShellAPIReady";
constexpr DWORD kFramedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// The key that turns the screen.
constexpr WPARAM kRotateKey = 'R';
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kTakeScreenshot = WM_APP + 1;
constexpr UINT kOpenOptions = WM_APP + 2;
constexpr UINT kInputPlayed = WM_APP + 3;
constexpr UINT kRotate = WM_APP + 4;
constexpr int kTitleBarHeight = 26; // at 96 dpi
constexpr int kSoftKeyBarHeight = 26;

void Report(const std::wstring& text)
{
    std::fprintf(stderr, "today: %s\n", Utf8(text).c_str());
}

} // namespace

TodayScreen::TodayScreen(const HostOptions& options, std::vector<InputStep> input)
    : options_(options), input_(std::move(input))
{
}

TodayScreen::~TodayScreen()
{
    player_.reset();
    // Item windows go with the screen window, before their modules are freed.
    if (window_)
        DestroyWindow(window_);
    items_.clear();
    if (shellReady_)
        CloseHandle(shellReady_);
}

int TodayScreen::Run()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = DEVICE_SCREEN_WINDOW_CLASS;
    RegisterClassW(&wc);
    // On a bare X server the screen's window is the screen, at the corner;
    // on a desktop it is an ordinary window.
    const DWORD style = options_.bareDisplay ? WS_POPUP : kFramedStyle;
    window_ = CreateWindowExW(0, DEVICE_SCREEN_WINDOW_CLASS, L"", style | WS_CLIPCHILDREN, options_.bareDisplay ? 0 : CW_USEDEFAULT,
        options_.bareDisplay ? 0 : CW_USEDEFAULT, 1, 1, nullptr, nullptr, wc.hInstance, this);
    if (!window_) {
        Report(L"cannot create the Today screen window");
        return 1;
    }
    FollowScreen();
    ShowWindow(window_, SW_SHOW);

    shellReady_ = CreateEventW(nullptr, TRUE, FALSE, kShellReadyEvent);
    if (!LoadItems())
        return exitCode_;
    SetEvent(shellReady_);
    RefreshItems();
    SetTimer(window_, kRefreshTimer, kRefreshMilliseconds, nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
    if (!options_.options.empty()) {
        size_t index = items_.size();
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i]->Entry().name == options_.options)
                index = i;
        if (index < items_.size()) {
            awaitingDialog_ = true;
            PostMessageW(window_, kOpenOptions, index, 0);
        } else
            Report(L"--options: no Today item is named " + options_.options);
    }
    if (!input_.empty())
        player_ = std::make_unique<InputPlayer>(input_, window_, kRotate, kInputPlayed);
    else if (!options_.screenshot.empty())
        PostMessageW(window_, kTakeScreenshot, 0, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return exitCode_;
}

void TodayScreen::FollowScreen()
{
    DEVICE_SCREEN screen = {};
    DeviceGetScreen(&screen);
    width_ = screen.cx;
    height_ = screen.cy;
    theme_ = std::make_unique<Theme>(width_, height_, screen.dpi);
    RECT frame = {0, 0, width_, height_};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    wchar_t title[96];
    std::swprintf(title, std::size(title), L"Mesolune device: %ls, %d \u00D7 %d, %d dpi%ls", screen.szProfile,
        width_, height_, screen.dpi, screen.fLandscape ? L", landscape" : L"");
    SetWindowTextW(window_, title);
}

void TodayScreen::Rotate()
{
    DEVICE_SCREEN screen = {};
    DeviceGetScreen(&screen);
    DeviceSetScreen(screen.szProfile, !screen.fLandscape);
    FollowScreen();
    // Each item gets its new width, then says whether it has changed.
    Layout();
    RefreshItems();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT CALLBACK TodayScreen::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* screen = WindowObject<TodayScreen>(window, message, lParam);
    if (!screen)
        return DefWindowProcW(window, message, wParam, lParam);
    return screen->Handle(message, wParam, lParam);
}

LRESULT TodayScreen::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TODAYM_GETCOLOR:
        return theme_->Color(wParam);
    case TODAYM_DRAWWATERMARK:
        if (lParam)
            DrawWatermark(*reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kRefreshTimer)
            RefreshItems();
        return 0;
    case kTakeScreenshot:
        // With an options dialog on the way, the picture waits for it.
        if (!awaitingDialog_)
            TakeScreenshot();
        return 0;
    case kOpenOptions:
        if (!OpenOptions(wParam) && awaitingDialog_) {
            awaitingDialog_ = false;
            if (!options_.screenshot.empty() && !player_)
                TakeScreenshot();
        }
        return 0;
    case kInputPlayed:
        if (!options_.screenshot.empty())
            TakeScreenshot();
        return 0;
    case kRotate:
        Rotate();
        return 0;
    case WM_ENTERIDLE:
        // The options dialog is up and idle: the moment for its picture,
        // unless a script is still to play.
        if (wParam == MSGF_DIALOGBOX && awaitingDialog_ && !options_.screenshot.empty() && !player_) {
            awaitingDialog_ = false;
            TakeScreenshot();
        }
        return 0;
    case WM_KEYDOWN:
        OnKey(wParam);
        return 0;
    case WM_LBUTTONUP:
        OnTap(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
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

bool TodayScreen::LoadItems()
{
    std::vector<TodayItemEntry> entries = ReadTodayItems();
    if (entries.empty()) {
        entries = RegisterItemsBeside();
        for (const TodayItemEntry& entry : entries)
            Report(L"no Today items were registered; registered " + entry.name + L" (" + entry.dll + L")");
    }
    for (const TodayItemEntry& entry : entries) {
        if (!entry.enabled || entry.type != TLIT_CUSTOM || entry.dll.empty())
            continue;
        auto item = std::make_unique<LoadedItem>(entry);
        std::wstring error;
        loading_ = true;
        const bool initialized = item->Initialize(window_, error);
        loading_ = false;
        if (!initialized)
            return Fail(L"the Today item " + entry.name + L": " + error);
        items_.push_back(std::move(item));
    }
    if (items_.empty())
        return Fail(L"no Today item to show (HKLM\\Software\\Microsoft\\Today\\Items, and none beside today.exe)");
    Layout();
    return true;
}

bool TodayScreen::Fail(const std::wstring& reason)
{
    Report(reason);
    exitCode_ = 1;
    DestroyWindow(window_);
    return false;
}

void TodayScreen::ReloadItems()
{
    for (const auto& item : items_)
        item->ClearCache();
    items_.clear();
    selected_ = 0;
    if (!LoadItems())
        return;
    RefreshItems();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TodayScreen::RefreshItems()
{
    bool changed = false;
    for (const auto& item : items_) {
        if (item->QueryRefresh()) {
            changed = true;
            InvalidateRect(item->Window(), nullptr, TRUE);
        }
    }
    if (changed) {
        Layout();
        InvalidateRect(window_, nullptr, TRUE);
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (now.wMinute != shownMinute_) {
        const RECT bar = TitleBar();
        InvalidateRect(window_, &bar, FALSE);
    }
}

void TodayScreen::Layout()
{
    for (size_t i = 0; i < items_.size(); ++i)
        SetWindowPos(items_[i]->Window(), nullptr, 0, SlotTop(i), width_, items_[i]->Height(),
            SWP_NOZORDER | SWP_NOACTIVATE);
}

int TodayScreen::SlotTop(size_t index) const
{
    int top = TitleBar().bottom;
    for (size_t i = 0; i < index && i < items_.size(); ++i)
        top += items_[i]->Height();
    return top;
}

void TodayScreen::Paint()
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(window_, &ps);
    theme_->PaintBackground(hdc, ps.rcPaint, POINT{0, 0});
    SYSTEMTIME now;
    GetLocalTime(&now);
    theme_->PaintTitleBar(hdc, TitleBar(), now);
    const bool hasOptions = !items_.empty() && items_[selected_]->Entry().options;
    theme_->PaintSoftKeyBar(hdc, SoftKeyBar(), hasOptions ? L"Настройки" : L"");
    shownMinute_ = now.wMinute;
    EndPaint(window_, &ps);
}

void TodayScreen::DrawWatermark(const TODAYDRAWWATERMARKINFO& info) const
{
    // The background of the asking item's place on the screen. An item draws
    // before it has its place (while it initialises, its window stands at the
    // top); it gets the place it is about to take.
    POINT origin = {0, SlotTop(items_.size())};
    bool found = loading_;
    for (size_t i = 0; i < items_.size() && !found; ++i) {
        if (items_[i]->Window() == info.hwnd) {
            origin.y = SlotTop(i);
            found = true;
        }
    }
    if (!found && info.hwnd && IsWindow(info.hwnd)) {
        origin = {0, 0};
        MapWindowPoints(info.hwnd, window_, &origin, 1);
    }
    theme_->PaintBackground(info.hdc, info.rc, origin);
}

void TodayScreen::OnKey(WPARAM key)
{
    if (items_.empty())
        return;
    switch (key) {
    case VK_UP:
        if (selected_ > 0)
            Select(selected_ - 1, key);
        break;
    case VK_DOWN:
        if (selected_ + 1 < items_.size())
            Select(selected_ + 1, key);
        break;
    case VK_LEFT:
    case VK_RIGHT:
        items_[selected_]->Send(WM_TODAYCUSTOM_USERNAVIGATION, key);
        break;
    case VK_RETURN:
        items_[selected_]->Send(WM_TODAYCUSTOM_ACTION);
        break;
    case VK_F2:
        OpenOptions(selected_);
        break;
    case kRotateKey:
        Rotate();
        break;
    default:
        break;
    }
}

void TodayScreen::Select(size_t index, WPARAM key)
{
    items_[selected_]->Send(WM_TODAYCUSTOM_LOSTSELECTION);
    selected_ = index;
    items_[selected_]->Send(WM_TODAYCUSTOM_RECEIVEDSELECTION, key);
    const RECT bar = SoftKeyBar();
    InvalidateRect(window_, &bar, FALSE);
}

void TodayScreen::OnTap(POINT point)
{
    // The right soft key.
    RECT key = SoftKeyBar();
    key.left = (key.left + key.right) / 2;
    if (PtInRect(&key, point))
        OpenOptions(selected_);
}

bool TodayScreen::OpenOptions(size_t index)
{
    if (index >= items_.size() || !items_[index]->Entry().options)
        return false;
    const HMODULE module = items_[index]->Module();
    const auto procedure = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC))));
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDD_TODAY_CUSTOM), RT_DIALOG);
    const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, resource)));
    if (!procedure || !dialog) {
        Report(items_[index]->Entry().name + L" has no options dialog");
        return false;
    }
    // Changed options reach the items as the Pocket PC's Today screen brings
    // them: it reloads its items, telling each to drop what it holds first.
    if (DialogBoxIndirectParamW(module, dialog, window_, procedure, 0) == IDOK)
        ReloadItems();
    return true;
}

void TodayScreen::TakeScreenshot()
{
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT screen;
    GetClientRect(window_, &screen);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&screen), 2);
    const std::wstring path = DevicePath(options_.screenshot);
    const std::wstring error = WriteScreenshot(screen, path);
    if (!error.empty()) {
        Report(L"screenshot " + options_.screenshot + L": " + error);
        exitCode_ = 1;
    }
    // A dialog over the screen (the options, opened by the host or by an
    // item) is cancelled first; the screen closes once it has gone.
    const HWND popup = GetLastActivePopup(window_);
    if (popup && popup != window_) {
        PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(window_, WM_CLOSE, 0, 0);
        return;
    }
    DestroyWindow(window_);
}

RECT TodayScreen::TitleBar() const
{
    return RECT{0, 0, width_, theme_->Scale(kTitleBarHeight)};
}

RECT TodayScreen::SoftKeyBar() const
{
    return RECT{0, height_ - theme_->Scale(kSoftKeyBarHeight), width_, height_};
}

// A Today item for ARM that misbehaves as its Today key's "Case" value says,
// to prove that the device's runner ends it and nothing else:
//   "<import> <n> <kind>"  calls the import with argument n (from 1) replaced
//       by a bad one of kind null, unmapped, topbit (an address at or above
//       2 GB), host (memory the host has mapped below 2 GB), endless (text
//       without an end within its memory) or huge (a size larger than its
//       memory), every other argument good (an import that waits for the
//       user as it first paints);
//   heap, stack, loop, sleep, wait, cp15, neighbour, hostwrite, parent:
//       breaks its heap, overflows its stack, calls an import for ever, sleeps
//       or waits for ever, writes the processor's control register, writes
//       another module's memory or the host's, or tries to close the Today
//       screen;
//   format F: calls wsprintfW with the format F (the rest of the case), each
//       of its twenty arguments a piece of text;
//   registry K: creates the key Software\MesoluneHostile, and a value in it,
//       under the key whose handle is K (in hexadecimal): a root the device
//       does not have, or a handle it never opened;
//   start P A: starts the program P of the device's ROM (no folder: the
//       Windows folder) with the arguments A, the rest of the case, and
//       leaves it running; it marks its key Started first, so that a Today
//       screen it starts, which loads it again, starts nothing;
//   rom: opens a program of the device's ROM as no reader would: to delete
//       it on close, with the right to delete, write or change it, or to
//       empty it;
//   dialog: opens a dialog of its own as it first paints, whose opening
//       reloads the Today screen (and marks its key Opened, so that the
//       item loaded again paints only);
//   options: its options dialog (export 241) faults as it opens;
//   redialog: as dialog, and opens another dialog once the reload let go
//       of it;
//   move, altf4, caption: hands the default procedure a system move, an
//       Alt+F4, or a press on a caption (the window manager's own loops);
//   brushes, controls: makes 65,000 brushes, or 65,000 controls in its window;
//   screen: makes a control on the Today screen's window itself;
//   keptdc: draws, after its erase, on the DC the erase handed it;
//   guessobject: selects a GDI object it never had, by its number;
//   hidden, offscreen: opens a dialog of its own as it first paints, and
//       hides it once shown, or moves it off the screen;
//   loaddialog: opens a dialog as it is loaded;
//   hostwindow: returns the Today screen's window as its own;
//   reload: asks the Today screen to reload its items as it is loaded;
//   paintreload: asks the Today screen to reload its items each time it
//       paints;
//   fuzz S N: makes N calls of imports drawn from a table (every import but
//       those that write the registry or files, start programs, sleep,
//       wait or wait for the user) with arguments drawn as seed S says:
//       numbers, pointers into a buffer of its own, bad addresses, its
//       window, the Today screen's, handles earlier calls returned.
// Whatever the call leaves it able to do, it then runs an undefined
// instruction, so that each case ends with exactly one line.
#include <windows.h>

#include <aygshell.h>
#include <commdlg.h>
#include <todaycmn.h>

#include <stdlib.h>
#include <string.h>

#ifndef TODAY_RELOAD_ITEMS
#define TODAY_RELOAD_ITEMS 0xF2
#endif

#undef SendMessageTimeout
extern "C" LRESULT WINAPI SendMessageTimeout(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
    UINT uTimeout, PDWORD pdwResult);

namespace {

const WORD kDialog = 500;
const wchar_t g_szClass[] = L"HostileItemClass";
// The size of the device's heap for a module, which its largest block fills.
const DWORD kHeapSize = 8 << 20;
const DWORD kHuge = 0x10000000;
// Memory the host maps below 2 GB in every process (the shared user data).
const DWORD kHostMemory = 0x7FFE0000;
// Where another module lies: the first ARM module's preferred base.
const DWORD kNeighbour = 0x10005000;

enum Kind
{
    kNull,
    kUnmapped,
    kTopBit,
    kHost,
    kEndless,
    kHuge_,
    kUnknown
};

wchar_t g_szCase[256];
wchar_t g_szKey[96];
bool g_bOpened;
bool g_bStarted;
HINSTANCE g_hInstance;
HWND g_hwndParent;
DWORD g_dwEndless;

bool Same(const wchar_t* a, const wchar_t* b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

DWORD Hex(const wchar_t* p)
{
    DWORD value = 0;
    for (; *p; ++p)
        value = value * 16 + (*p <= L'9' ? *p - L'0' : (*p | 0x20) - L'a' + 10);
    return value;
}

// Sets the value name of its key to 1; false when it cannot.
bool Mark(const wchar_t* pszName)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_szKey, 0, 0, &hKey) != ERROR_SUCCESS)
        return false;
    const DWORD dwOne = 1;
    const bool bSet =
        RegSetValueExW(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwOne), sizeof dwOne) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bSet;
}

// The rest of text after start, or null when it does not start so.
const wchar_t* After(const wchar_t* text, const wchar_t* start)
{
    while (*start && *text == *start)
        ++text, ++start;
    return *start ? NULL : text;
}

// The words of the case: the import, the argument's number, the kind.
void Split(wchar_t* pszImport, int cch, int& nArg, Kind& kind)
{
    const wchar_t* p = g_szCase;
    int n = 0;
    while (*p && *p != L' ' && n < cch - 1)
        pszImport[n++] = *p++;
    pszImport[n] = 0;
    nArg = 0;
    while (*p == L' ')
        ++p;
    while (*p >= L'0' && *p <= L'9')
        nArg = nArg * 10 + (*p++ - L'0');
    while (*p == L' ')
        ++p;
    const wchar_t* const aszKinds[] = {L"null", L"unmapped", L"topbit", L"host", L"endless", L"huge"};
    kind = kUnknown;
    for (int i = 0; i < 6; ++i)
        if (Same(p, aszKinds[i]))
            kind = static_cast<Kind>(i);
}

// Text without an end within the module's memory: its heap's one block,
// filled to the end.
DWORD Endless()
{
    if (!g_dwEndless) {
        wchar_t* p = static_cast<wchar_t*>(malloc(kHeapSize));
        if (!p)
            return kUnmapped;
        for (DWORD i = 0; i < kHeapSize / sizeof(wchar_t); ++i)
            p[i] = L'A';
        g_dwEndless = reinterpret_cast<DWORD>(p);
    }
    return g_dwEndless;
}

DWORD Bad(Kind kind)
{
    switch (kind) {
    case kNull:
        return 0;
    case kUnmapped:
        return 0x00010000;
    case kTopBit:
        return 0x80001000;
    case kHost:
        return kHostMemory;
    case kEndless:
        return Endless();
    default:
        return 0;
    }
}

void End()
{
    __asm__ volatile(".word 0xe7f000f0");
}

// An argument n of the call: the bad one, or the good one given.
template <typename T>
T Arg(int nArg, int n, Kind kind, T good)
{
    return nArg == n ? reinterpret_cast<T>(Bad(kind)) : good;
}

LPARAM Number(int nArg, int n, Kind kind, LPARAM good)
{
    return nArg == n ? static_cast<LPARAM>(Bad(kind)) : good;
}

DWORD Size(int nArg, int n, Kind kind, DWORD good)
{
    return nArg == n && kind == kHuge_ ? kHuge : good;
}

// The dialog template of its own dialog, in its resources.
const DLGTEMPLATE* Template()
{
    HRSRC hResource = FindResourceW(g_hInstance, MAKEINTRESOURCEW(kDialog), RT_DIALOG);
    return hResource ? static_cast<const DLGTEMPLATE*>(LoadResource(g_hInstance, hResource)) : NULL;
}

BOOL CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// An import whose call waits for the user, which the device takes only once
// the Today screen has the item's window: called as the item first paints.
bool WaitsForTheUser()
{
    return After(g_szCase, L"DialogBoxIndirectParamW ") || After(g_szCase, L"ChooseColor ");
}

// A window of its own class, a child of the Today screen's, as an item makes.
HWND OwnWindow(DWORD dwStyle)
{
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = g_hInstance;
    wc.lpszClassName = g_szClass;
    RegisterClassW(&wc);
    return CreateWindowExW(0, g_szClass, L"", WS_CHILD | dwStyle, 0, 0, 240, 20, g_hwndParent, NULL, g_hInstance,
        NULL);
}

// Once it is shown, the dialog goes out of sight: hidden, or off the screen.
BOOL CALLBACK HidingDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    if (uMsg == WM_INITDIALOG)
        return TRUE;
    if (uMsg == WM_SHOWWINDOW && wParam) {
        PostMessageW(hDlg, WM_USER, 0, 0);
        return TRUE;
    }
    if (uMsg == WM_USER) {
        if (Same(g_szCase, L"hidden"))
            ShowWindow(hDlg, SW_HIDE);
        else
            MoveWindow(hDlg, -4000, -4000, 100, 100, TRUE);
        return TRUE;
    }
    return FALSE;
}

HDC g_hdcErased;

// Calls the import the case names, as the case says; false when it names none.
bool CallImport()
{
    wchar_t szImport[64];
    int n = 0;
    Kind k = kUnknown;
    Split(szImport, 64, n, k);
    if (k == kUnknown)
        return false;
    // Its heap's whole arena, before anything else takes a block of it.
    if (k == kEndless)
        Endless();
    HKEY hKey = NULL;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, 0, &hKey);
    wchar_t szText[64] = L"text";
    wchar_t szBuffer[64];
    BYTE abData[64];
    DWORD dwType = 0, cbData = sizeof abData, dwDisposition = 0;
    RECT rc = {0, 0, 10, 10};
    POINT pt = {0, 0};
    SYSTEMTIME st;
    LOGFONTW lf;
    memset(&lf, 0, sizeof lf);
    HWND hwnd = OwnWindow(0);
    HDC hdc = GetDC(hwnd);
    PAINTSTRUCT ps;
    memset(&ps, 0, sizeof ps);
    HKEY hNew = NULL;
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = g_hInstance;
    wc.lpszClassName = L"HostileOtherClass";
    PROCESS_INFORMATION pi;
    CHOOSECOLOR cc;
    memset(&cc, 0, sizeof cc);
    cc.lStructSize = sizeof cc;
    COLORREF acr[16];
    cc.lpCustColors = acr;
    SHINITDLGINFO shidi = {SHIDIM_FLAGS, NULL, 0};
    SHRGINFO shrg = {sizeof shrg, hwnd, {0, 0}, 0};
    HRSRC hResource = FindResourceW(g_hInstance, MAKEINTRESOURCEW(kDialog), RT_DIALOG);
    void* pBlock = malloc(64);

    if (Same(szImport, L"RegCreateKeyExW")) {
        RegCreateKeyExW(HKEY_CURRENT_USER, Arg(n, 2, k, L"Software\\MesoluneHostile"), 0, Arg(n, 4, k, szText), 0, 0,
            NULL, Arg(n, 8, k, &hNew), Arg(n, 9, k, &dwDisposition));
    } else if (Same(szImport, L"RegDeleteKeyW")) {
        RegDeleteKeyW(HKEY_CURRENT_USER, Arg(n, 2, k, L"Software\\MesoluneHostile"));
    } else if (Same(szImport, L"RegDeleteValueW")) {
        RegDeleteValueW(hKey, Arg(n, 2, k, L"MesoluneHostile"));
    } else if (Same(szImport, L"RegOpenKeyExW")) {
        RegOpenKeyExW(HKEY_CURRENT_USER, Arg(n, 2, k, L"Software"), 0, 0, Arg(n, 5, k, &hNew));
    } else if (Same(szImport, L"RegQueryValueExW")) {
        DWORD* pcbData = &cbData;
        if (n == 6 && k == kHuge_)
            cbData = kHuge;
        else if (n == 6)
            pcbData = reinterpret_cast<DWORD*>(Bad(k));
        RegQueryValueExW(hKey, Arg(n, 2, k, L"MesoluneHostile"), NULL, Arg(n, 4, k, &dwType), Arg(n, 5, k, abData),
            pcbData);
    } else if (Same(szImport, L"RegSetValueExW")) {
        RegSetValueExW(hKey, Arg(n, 2, k, L"MesoluneHostile"), 0, REG_BINARY, Arg(n, 5, k, abData),
            Size(n, 6, k, sizeof abData));
    } else if (Same(szImport, L"GetLocalTime")) {
        GetLocalTime(Arg(n, 1, k, &st));
    } else if (Same(szImport, L"CreateEventW")) {
        CloseHandle(CreateEventW(NULL, TRUE, FALSE, Arg(n, 4, k, L"MesoluneHostile")));
    } else if (Same(szImport, L"OutputDebugStringW")) {
        OutputDebugStringW(Arg(n, 1, k, L""));
    } else if (Same(szImport, L"CreateFileW")) {
        CloseHandle(CreateFileW(Arg(n, 1, k, L"\\Windows\\hostile.txt"), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL));
    } else if (Same(szImport, L"CreateProcessW")) {
        if (CreateProcessW(Arg(n, 1, k, L"\\Windows\\devinfo.exe"), Arg(n, 2, k, szText), NULL, NULL, FALSE, 0, NULL,
                Arg(n, 8, k, L"\\Windows"), Arg(n, 9, k, static_cast<STARTUPINFOW*>(NULL)), Arg(n, 10, k, &pi))) {
            if (n != 10) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
            }
        }
    } else if (Same(szImport, L"FindResourceW")) {
        FindResourceW(g_hInstance, Arg(n, 2, k, MAKEINTRESOURCEW(kDialog)), Arg(n, 3, k, RT_DIALOG));
    } else if (Same(szImport, L"LoadResource")) {
        LoadResource(g_hInstance, Arg(n, 2, k, hResource));
    } else if (Same(szImport, L"SizeofResource")) {
        SizeofResource(g_hInstance, Arg(n, 2, k, hResource));
    } else if (Same(szImport, L"LoadIconW")) {
        DestroyIcon(LoadIconW(g_hInstance, Arg(n, 2, k, MAKEINTRESOURCEW(1))));
    } else if (Same(szImport, L"RegisterClassW")) {
        if (n == 1)
            RegisterClassW(Arg(n, 1, k, &wc));
        else {
            wc.lpszClassName = reinterpret_cast<LPCWSTR>(Bad(k));
            RegisterClassW(&wc);
        }
    } else if (Same(szImport, L"FindWindowW")) {
        FindWindowW(Arg(n, 1, k, L"HostileOtherClass"), Arg(n, 2, k, L"Hostile"));
    } else if (Same(szImport, L"UnregisterClassW")) {
        UnregisterClassW(Arg(n, 1, k, L"HostileOtherClass"), g_hInstance);
    } else if (Same(szImport, L"CreateWindowExW")) {
        DestroyWindow(CreateWindowExW(0, Arg(n, 2, k, L"STATIC"), Arg(n, 3, k, szText), WS_CHILD, 0, 0, 1, 1, hwnd, NULL,
            g_hInstance, NULL));
    } else if (Same(szImport, L"InvalidateRect")) {
        InvalidateRect(hwnd, Arg(n, 2, k, &rc), FALSE);
    } else if (Same(szImport, L"ValidateRect")) {
        ValidateRect(hwnd, Arg(n, 2, k, &rc));
    } else if (Same(szImport, L"GetClientRect")) {
        GetClientRect(hwnd, Arg(n, 2, k, &rc));
    } else if (Same(szImport, L"GetWindowRect")) {
        GetWindowRect(hwnd, Arg(n, 2, k, &rc));
    } else if (Same(szImport, L"SetRect")) {
        SetRect(Arg(n, 1, k, &rc), 0, 0, 1, 1);
    } else if (Same(szImport, L"DrawTextW")) {
        DrawTextW(hdc, Arg(n, 2, k, szText), n == 3 && k == kHuge_ ? static_cast<int>(kHuge) : -1, Arg(n, 4, k, &rc),
            DT_CALCRECT);
    } else if (Same(szImport, L"DialogBoxIndirectParamW")) {
        DialogBoxIndirectParamW(g_hInstance, Arg(n, 2, k, Template()), hwnd, Arg(n, 4, k, DialogProc), 0);
    } else if (Same(szImport, L"BeginPaint")) {
        BeginPaint(hwnd, Arg(n, 2, k, &ps));
    } else if (Same(szImport, L"EndPaint")) {
        EndPaint(hwnd, Arg(n, 2, k, &ps));
    } else if (Same(szImport, L"CreateFontIndirectW")) {
        DeleteObject(CreateFontIndirectW(Arg(n, 1, k, &lf)));
    } else if (Same(szImport, L"FillRect")) {
        FillRect(hdc, Arg(n, 2, k, &rc), static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    } else if (Same(szImport, L"MoveToEx")) {
        MoveToEx(hdc, 0, 0, Arg(n, 4, k, &pt));
    } else if (Same(szImport, L"GetObjectW")) {
        GetObjectW(GetStockObject(SYSTEM_FONT), Size(n, 2, k, sizeof lf), Arg(n, 3, k, &lf));
    } else if (Same(szImport, L"wsprintfW")) {
        wsprintfW(Arg(n, 1, k, szBuffer), Arg(n, 2, k, L"%s"), Arg(n, 3, k, szText));
    } else if (Same(szImport, L"free")) {
        free(Arg(n, 1, k, pBlock));
    } else if (Same(szImport, L"memcpy")) {
        memcpy(Arg(n, 1, k, szBuffer), Arg(n, 2, k, szText), Size(n, 3, k, sizeof szText));
    } else if (Same(szImport, L"memset")) {
        memset(Arg(n, 1, k, szBuffer), 0, Size(n, 3, k, sizeof szBuffer));
    } else if (Same(szImport, L"wcscpy")) {
        wcscpy(Arg(n, 1, k, szBuffer), Arg(n, 2, k, szText));
    } else if (Same(szImport, L"SHInitDialog")) {
        SHInitDialog(Arg(n, 1, k, &shidi));
    } else if (Same(szImport, L"SHRecognizeGesture")) {
        SHRecognizeGesture(Arg(n, 1, k, &shrg));
    } else if (Same(szImport, L"ChooseColor")) {
        ChooseColor(Arg(n, 1, k, &cc));
    } else if (Same(szImport, L"SendMessageTimeout")) {
        DWORD dwResult = 0;
        SendMessageTimeout(hwnd, n == 4 ? WM_SETTINGCHANGE : WM_NULL, 0, Number(n, 4, k, 0), SMTO_ABORTIFHUNG, 100,
            Arg(n, 7, k, &dwResult));
    } else if (Same(szImport, L"SendMessageW")) {
        SendMessageW(hwnd, WM_GETTEXT, 64, Number(n, 4, k, reinterpret_cast<LPARAM>(szBuffer)));
    } else if (Same(szImport, L"DefWindowProcW")) {
        DefWindowProcW(hwnd, WM_GETTEXT, 64, Number(n, 4, k, reinterpret_cast<LPARAM>(szBuffer)));
    } else {
        ReleaseDC(hwnd, hdc);
        return false;
    }
    ReleaseDC(hwnd, hdc);
    return true;
}

int Recurse(volatile int n)
{
    volatile char ab[256];
    ab[0] = static_cast<char>(n);
    // Not a tail call: each call keeps its frame.
    ab[1] = static_cast<char>(Recurse(n + ab[0]));
    return ab[1];
}

typedef DWORD (*AnyImport)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);

template <typename F>
AnyImport Any(F f)
{
    return reinterpret_cast<AnyImport>(f);
}

DWORD g_dwSeed;
DWORD g_adwFuzz[1024];

DWORD NextRandom()
{
    g_dwSeed = g_dwSeed * 1103515245u + 12345u;
    return g_dwSeed >> 8;
}

DWORD Decimal(const wchar_t*& p)
{
    DWORD value = 0;
    while (*p == L' ')
        ++p;
    while (*p >= L'0' && *p <= L'9')
        value = value * 10 + (*p++ - L'0');
    return value;
}

// Calls of imports with random arguments, each argument one of the kinds a
// careless or hostile module hands over.
void Fuzz(const wchar_t* pszArgs)
{
    g_dwSeed = Decimal(pszArgs);
    const DWORD dwCalls = Decimal(pszArgs);
    const AnyImport apfn[] = {Any(GetTickCount), Any(GetLocalTime), Any(SetLastError), Any(GetLastError),
        Any(OutputDebugStringW), Any(FindResourceW), Any(LoadResource), Any(SizeofResource), Any(LoadIconW),
        Any(DestroyIcon), Any(DrawIconEx), Any(RegisterClassW), Any(UnregisterClassW), Any(CreateWindowExW),
        Any(DestroyWindow), Any(FindWindowW), Any(DefWindowProcW), Any(SendMessageW), Any(SendMessageTimeout),
        Any(SendDlgItemMessageW), Any(PostMessageW), Any(ShowWindow), Any(UpdateWindow), Any(InvalidateRect),
        Any(ValidateRect), Any(GetClientRect), Any(GetWindowRect), Any(MoveWindow), Any(SetWindowPos),
        Any(GetParent), Any(IsWindow), Any(GetSystemMetrics), Any(GetDlgItem), Any(EndDialog), Any(SetRect),
        Any(DrawTextW), Any(BeginPaint), Any(EndPaint), Any(GetDC), Any(ReleaseDC), Any(BitBlt),
        Any(CreateCompatibleBitmap), Any(CreateCompatibleDC), Any(CreateFontIndirectW), Any(CreatePen),
        Any(CreateSolidBrush), Any(DeleteDC), Any(DeleteObject), Any(FillRect), Any(GetCurrentObject),
        Any(GetDeviceCaps), Any(GetPixel), Any(GetStockObject), Any(LineTo), Any(MoveToEx), Any(SelectObject),
        Any(SetBkColor), Any(SetBkMode), Any(SetTextColor), Any(GetObjectW), Any(wsprintfW), Any(malloc),
        Any(free), Any(memcpy), Any(memset), Any(wcscpy), Any(RegOpenKeyExW), Any(RegQueryValueExW),
        Any(RegCloseKey), Any(CreateEventW), Any(CloseHandle),
        Any(SHRecognizeGesture)};
    const DWORD cImports = sizeof apfn / sizeof apfn[0];
    HWND hwnd = OwnWindow(WS_VISIBLE);
    DWORD adwResults[8] = {0};
    for (DWORD i = 0; i < sizeof g_adwFuzz / sizeof g_adwFuzz[0]; ++i)
        g_adwFuzz[i] = NextRandom() % 4 ? NextRandom() % 0x10000 : 0;
    for (DWORD call = 0; call < dwCalls; ++call) {
        DWORD adw[12];
        for (int a = 0; a < 12; ++a) {
            switch (NextRandom() % 10) {
            case 0: adw[a] = 0; break;
            case 1: adw[a] = NextRandom() % 17; break;
            case 2: adw[a] = NextRandom(); break;
            case 3: adw[a] = reinterpret_cast<DWORD>(g_adwFuzz + NextRandom() % 1000); break;
            case 4: adw[a] = reinterpret_cast<DWORD>(hwnd); break;
            case 5: adw[a] = reinterpret_cast<DWORD>(g_hwndParent); break;
            case 6: adw[a] = adwResults[NextRandom() % 8]; break;
            case 7: adw[a] = Bad(static_cast<Kind>(kUnmapped + NextRandom() % 3)); break;
            case 8: adw[a] = 0x80000000u + NextRandom() % 8; break;
            default: adw[a] = NextRandom() % 0x1000; break;
            }
        }
        adwResults[call % 8] = apfn[NextRandom() % cImports](adw[0], adw[1], adw[2], adw[3], adw[4], adw[5], adw[6],
            adw[7], adw[8], adw[9], adw[10], adw[11]);
    }
}

// The behaviours that are no one import's.
bool Misbehave()
{
    if (Same(g_szCase, L"heap")) {
        // Over the block's front, which the device keeps nothing in, then a
        // block it was never given.
        free(malloc(16));
        malloc(16);
        char* p = static_cast<char*>(malloc(32));
        memset(p - 16, 0x55, 16);
        free(p);
        free(malloc(32));
        free(p + 4);
    } else if (Same(g_szCase, L"stack")) {
        Recurse(1);
    } else if (Same(g_szCase, L"loop")) {
        for (;;)
            GetTickCount();
    } else if (Same(g_szCase, L"sleep")) {
        Sleep(INFINITE);
    } else if (Same(g_szCase, L"wait")) {
        WaitForSingleObject(CreateEventW(NULL, TRUE, FALSE, NULL), INFINITE);
    } else if (Same(g_szCase, L"cp15")) {
        // The control register, without alignment checking: for every module
        // if it were allowed.
        __asm__ volatile("mov r0, #0x78\n\tmcr p15, 0, r0, c1, c0, 0" : : : "r0");
    } else if (Same(g_szCase, L"neighbour")) {
        *reinterpret_cast<volatile DWORD*>(kNeighbour) = 0;
    } else if (Same(g_szCase, L"hostwrite")) {
        *reinterpret_cast<volatile DWORD*>(kHostMemory) = 0;
    } else if (const wchar_t* pszFormat = After(g_szCase, L"format ")) {
        wchar_t szOut[1100];
        const wchar_t* t = L"text";
        wsprintfW(szOut, pszFormat, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t);
    } else if (const wchar_t* pszKey = After(g_szCase, L"registry ")) {
        HKEY hKey = NULL;
        const DWORD dwValue = 1;
        if (RegCreateKeyExW(reinterpret_cast<HKEY>(Hex(pszKey)), L"Software\\MesoluneHostile", 0, NULL, 0, 0, NULL,
                &hKey, NULL) == ERROR_SUCCESS) {
            RegSetValueExW(hKey, L"Hostile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
            RegCloseKey(hKey);
        }
    } else if (const wchar_t* pszStart = After(g_szCase, L"start ")) {
        wchar_t szProgram[64];
        int n = 0;
        while (*pszStart && *pszStart != L' ' && n < 63)
            szProgram[n++] = *pszStart++;
        szProgram[n] = 0;
        while (*pszStart == L' ')
            ++pszStart;
        wchar_t szArguments[256];
        wcscpy(szArguments, pszStart);
        PROCESS_INFORMATION pi;
        if (!g_bStarted && Mark(L"Started") &&
            CreateProcessW(szProgram, szArguments, NULL, NULL, FALSE, 0, NULL, L"Z:\\tmp", NULL, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    } else if (const wchar_t* pszWay = After(g_szCase, L"installer ")) {
        // The installer's records and journal, each way a path may name them.
        HKEY hKey = NULL;
        const DWORD dwValue = 1;
        switch (Hex(pszWay)) {
        case 0:
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Apps\\Mesolune", 0, NULL, 0, 0, NULL, &hKey, NULL);
            break;
        case 1:
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"\\SOFTWARE\\\\apps\\Other\\", 0, NULL, 0, 0, NULL, &hKey, NULL);
            break;
        case 2:
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, 0, &hKey) == ERROR_SUCCESS)
                RegOpenKeyExW(hKey, L"AppMgr\\Journal", 0, 0, &hKey);
            break;
        case 3:
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Apps\\Mesolune");
            break;
        default:
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, NULL, 0, 0, &hKey) == ERROR_SUCCESS)
                RegOpenKeyExW(hKey, L"Software\\Apps", 0, 0, &hKey);
            break;
        }
        if (hKey)
            RegSetValueExW(hKey, L"NoUninstall", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
    } else if (Same(g_szCase, L"link")) {
        // A key made a symbolic link to the desktop's own registry, and a
        // value written through it.
        HKEY hKey = NULL;
        const wchar_t szTarget[] = L"\\Registry\\Machine\\Software\\MesoluneHostileLink";
        const DWORD dwValue = 1;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\MesoluneLink", 0, NULL, 0x2 /* REG_OPTION_CREATE_LINK */, 0,
                NULL, &hKey, NULL) == ERROR_SUCCESS) {
            RegSetValueExW(hKey, L"SymbolicLinkValue", 0, 6 /* REG_LINK */, reinterpret_cast<const BYTE*>(szTarget),
                sizeof szTarget - sizeof(wchar_t));
            RegCloseKey(hKey);
        }
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\MesoluneLink\\Through", 0, NULL, 0, 0, NULL, &hKey, NULL) ==
            ERROR_SUCCESS) {
            RegSetValueExW(hKey, L"Hostile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
            RegCloseKey(hKey);
        }
    } else if (Same(g_szCase, L"appmgr")) {
        // A setup library put beside the installer's kept ones, and its undo
        // folder read.
        HANDLE hFile = CreateFileW(L"\\Windows\\AppMgr\\Hostile.dll", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
        hFile = CreateFileW(L"\\WINDOWS\\appmgr\\Undo", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
    } else if (Same(g_szCase, L"rom")) {
        const wchar_t* const pszProgram = L"\\Windows\\devinfo.exe";
        const DWORD adwAccess[] = {GENERIC_READ, 0x00010000 /* DELETE */, 0x0002 /* FILE_WRITE_DATA */,
            GENERIC_READ | 0x00040000 /* WRITE_DAC */, GENERIC_READ | 0x0100 /* FILE_WRITE_ATTRIBUTES */};
        const DWORD adwFlags[] = {0x04000000 /* FILE_FLAG_DELETE_ON_CLOSE */, 0, 0, 0, 0};
        for (int i = 0; i < 5; ++i) {
            HANDLE hFile = CreateFileW(pszProgram, adwAccess[i], FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                OPEN_EXISTING, adwFlags[i], NULL);
            if (hFile != INVALID_HANDLE_VALUE)
                CloseHandle(hFile);
        }
        HANDLE hFile = CreateFileW(pszProgram, GENERIC_READ, 0, NULL, TRUNCATE_EXISTING, 0, NULL);
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
    } else if (Same(g_szCase, L"move")) {
        DefWindowProcW(OwnWindow(0), WM_SYSCOMMAND, SC_MOVE, 0);
    } else if (Same(g_szCase, L"altf4")) {
        DefWindowProcW(OwnWindow(0), WM_SYSKEYDOWN, VK_F4, 0x20000000);
    } else if (Same(g_szCase, L"caption")) {
        SendMessageW(OwnWindow(0), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    } else if (Same(g_szCase, L"brushes")) {
        for (int i = 0; i < 65000; ++i)
            CreateSolidBrush(RGB(i, i >> 8, 0));
    } else if (Same(g_szCase, L"controls")) {
        HWND hwnd = OwnWindow(0);
        for (int i = 0; i < 65000; ++i)
            CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, hwnd, NULL, g_hInstance, NULL);
    } else if (Same(g_szCase, L"screen")) {
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 320, g_hwndParent, NULL, g_hInstance,
            NULL);
    } else if (Same(g_szCase, L"keptdc")) {
        UpdateWindow(OwnWindow(WS_VISIBLE));
        RECT rc = {0, 0, 240, 320};
        FillRect(g_hdcErased, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    } else if (Same(g_szCase, L"guessobject")) {
        SelectObject(CreateCompatibleDC(NULL), reinterpret_cast<HGDIOBJ>(0x0A0A0A0A));
    } else if (Same(g_szCase, L"loaddialog")) {
        DialogBoxIndirectParamW(g_hInstance, Template(), OwnWindow(0), DialogProc, 0);
    } else if (const wchar_t* pszFuzz = After(g_szCase, L"fuzz ")) {
        Fuzz(pszFuzz);
    } else if (Same(g_szCase, L"reload")) {
        DWORD dwResult = 0;
        SendMessageTimeout(HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, 5000, &dwResult);
    } else if (Same(g_szCase, L"parent")) {
        // Refused, each: the Today screen is not the module's.
        SendMessageW(g_hwndParent, WM_CLOSE, 0, 0);
        PostMessageW(g_hwndParent, WM_QUIT, 0, 0);
        DestroyWindow(g_hwndParent);
        DefWindowProcW(g_hwndParent, WM_CLOSE, 0, 0);
    } else {
        return false;
    }
    return true;
}

BOOL CALLBACK ReloadingDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG: {
        // The Today screen reloads its items while this dialog is open.
        DWORD dwResult = 0;
        SendMessageTimeout(HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, 5000, &dwResult);
        PostMessageW(hDlg, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    case WM_COMMAND:
        // The reload has let go of the module by now.
        if (LOWORD(wParam) == IDOK && Same(g_szCase, L"redialog"))
            DialogBoxIndirectParamW(g_hInstance, Template(), hDlg, DialogProc, 0);
        if (LOWORD(wParam) == IDOK)
            EndDialog(hDlg, IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_ERASEBKGND)
        g_hdcErased = reinterpret_cast<HDC>(wParam);
    const bool bReloads = Same(g_szCase, L"dialog") || Same(g_szCase, L"redialog");
    const bool bHides = Same(g_szCase, L"hidden") || Same(g_szCase, L"offscreen");
    // What these cases do once the Today screen has the window: as it first paints.
    if (uMsg == WM_PAINT && !g_bOpened && (WaitsForTheUser() || bHides || bReloads)) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        g_bOpened = true;
        if (WaitsForTheUser()) {
            CallImport();
        } else if (bHides) {
            DialogBoxIndirectParamW(g_hInstance, Template(), hwnd, HidingDialogProc, 0);
        } else {
            Mark(L"Opened");
            // Its window goes with the reload; it is still loaded, as its code runs.
            DialogBoxIndirectParamW(g_hInstance, Template(), hwnd, ReloadingDialogProc, 0);
        }
        End();
    }
    if (uMsg == WM_PAINT && Same(g_szCase, L"paintreload")) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        SendMessageW(g_hwndParent, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0);
        End();
    }
    if (uMsg == WM_TODAYCUSTOM_QUERYREFRESHCACHE) {
        TODAYLISTITEM* ptli = reinterpret_cast<TODAYLISTITEM*>(wParam);
        if (!ptli)
            return FALSE;
        ptli->cyp = 20;
        return TRUE;
    }
    return DefWindowProcW(hwnd, uMsg, wParam, lParam);
}

bool ReadCase(const wchar_t* pszName)
{
    wcscpy(g_szKey, L"Software\\Microsoft\\Today\\Items\\");
    wcscpy(g_szKey + 31, pszName);
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_szKey, 0, 0, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD cb = sizeof g_szCase - sizeof(wchar_t), dwType = 0;
    const LONG lResult = RegQueryValueExW(hKey, L"Case", NULL, &dwType, reinterpret_cast<BYTE*>(g_szCase), &cb);
    DWORD dwOpened = 0;
    cb = sizeof dwOpened;
    if (RegQueryValueExW(hKey, L"Opened", NULL, &dwType, reinterpret_cast<BYTE*>(&dwOpened), &cb) == ERROR_SUCCESS)
        g_bOpened = dwOpened != 0;
    DWORD dwStarted = 0;
    cb = sizeof dwStarted;
    if (RegQueryValueExW(hKey, L"Started", NULL, &dwType, reinterpret_cast<BYTE*>(&dwStarted), &cb) == ERROR_SUCCESS)
        g_bStarted = dwStarted != 0;
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD, LPVOID)
{
    g_hInstance = hInstance;
    return TRUE;
}

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* ptli, HWND hwndParent)
{
    g_hwndParent = hwndParent;
    if (!ptli || !ReadCase(ptli->szName))
        return NULL;
    if (Same(g_szCase, L"dialog") || Same(g_szCase, L"redialog") || Same(g_szCase, L"options") ||
        Same(g_szCase, L"hidden") || Same(g_szCase, L"offscreen") || Same(g_szCase, L"paintreload") ||
        WaitsForTheUser()) {
        ptli->cyp = 20;
        return OwnWindow(WS_VISIBLE);
    }
    if (Same(g_szCase, L"hostwindow"))
        return hwndParent;
    if (!Misbehave() && !CallImport()) {
        // A case it does not know: a system call, which no case ends with.
        __asm__ volatile("swi 0");
    }
    End();
    return NULL;
}

extern "C" BOOL WINAPI CustomItemOptionsDlgProc(HWND, UINT uMsg, WPARAM, LPARAM)
{
    if (uMsg == WM_INITDIALOG)
        *reinterpret_cast<volatile DWORD*>(0x00010000) = 0;
    return FALSE;
}

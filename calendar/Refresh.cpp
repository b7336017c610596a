// The refresh cycle: everything periodic rides on the Today screen's refresh
// query. It hands a changed height over, polls the clock's alarms at the
// Alarm interval and follows the minute of the local clock.
#include "MyToday.h"

#include "Settings.h"
#include "SysRegistry.h"
#include "resource.h"

DWORD g_dwLastAlarmCheck = 0;

namespace {

const wchar_t kClockKey[] = L"\\Software\\Microsoft\\Clock";

void DestroyAlarmIcons()
{
    if (g_hAlarmOnIcon) {
        DestroyIcon(g_hAlarmOnIcon);
        g_hAlarmOnIcon = NULL;
    }
    if (g_hAlarmOffIcon) {
        DestroyIcon(g_hAlarmOffIcon);
        g_hAlarmOffIcon = NULL;
    }
}

} // namespace

bool ReadAlarmState()
{
    CSysRegistry& registry = CSysRegistry::Instance();
    bool bSet = false;
    wchar_t szKey[260];
    for (int n = 0; n < 3; ++n) {
        wsprintfW(szKey, L"%s\\%d", kClockKey, n);
        if (!registry.KeyExists(HKEY_LOCAL_MACHINE, szKey))
            continue;
        BYTE bFlags = 0;
        RegValue value = {REG_BINARY, &bFlags, 1};
        registry.GetValue(HKEY_LOCAL_MACHINE, szKey, L"AlarmFlags", value);
        if (bFlags != 0) {
            bSet = true;
            break;
        }
    }
    g_dwLastAlarmCheck = GetTickCount();
    return bSet;
}

int CMyToday::OnCreate(LPCREATESTRUCTW)
{
    LoadAlarmIcons();
    return 0;
}

void CMyToday::LoadAlarmIcons()
{
    // Icons of an earlier creation that was never destroyed are not lost.
    DestroyAlarmIcons();

    // Without the screen's density the bells would be of the wrong size:
    // none now, and the next refresh tries again.
    HDC hdc = GetDC(NULL);
    if (!hdc)
        return;
    const int nDpi = GetDeviceCaps(hdc, LOGPIXELSX);
    ReleaseDC(NULL, hdc);
    if (nDpi == 192) {
        g_hAlarmOnIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_ALARM_ON_LARGE));
        g_hAlarmOffIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_ALARM_OFF_LARGE));
    } else {
        g_hAlarmOnIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_ALARM_ON));
        g_hAlarmOffIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDI_ALARM_OFF));
    }
}

void CMyToday::OnDestroy()
{
    DestroyAlarmIcons();
}

void CMyToday::OnQueryRefreshCache(TODAYLISTITEM* ptli, BOOL* pbRefresh)
{
    // 0. What the platform refused at the start is made now: the fonts with
    //    the layout they give, the bells.
    bool bRemade = false;
    if (m_nRowHeight == 0 && MakeFonts()) {
        UpdateLayout();
        DestroySurface();
        bRemade = true;
    }
    if (!g_hAlarmOnIcon || !g_hAlarmOffIcon) {
        LoadAlarmIcons();
        bRemade = bRemade || (g_hAlarmOnIcon && g_hAlarmOffIcon);
    }

    // 1. A new height goes to the host first, and alone; the next paint
    //    renders a surface of that height.
    if (!*pbRefresh && static_cast<int>(ptli->cyp) != m_nHeight) {
        ptli->cyp = static_cast<DWORD>(m_nHeight);
        *pbRefresh = TRUE;
        DestroySurface();
        return;
    }

    // 2. Nothing has changed yet, but what was made again.
    bool bChanged = bRemade;

    // 3. The alarm state, at most once per interval; the unsigned difference
    //    survives the wrap of the tick count.
    if (Settings::Alarm != 0 && GetTickCount() - g_dwLastAlarmCheck > Settings::Alarm) {
        const bool bSet = ReadAlarmState();
        if (bSet != g_bAlarmSet) {
            g_bAlarmSet = bSet;
            bChanged = true;
        }
    }

    // 4. The clock, by its minute; the displayed month stays.
    if (Settings::Clock) {
        SYSTEMTIME st;
        GetLocalTime(&st);
        if (st.wMinute != m_nMinute) {
            TakeClock(st);
            bChanged = true;
        }
    }

    // 5. One render and one invalidation for any change.
    if (bChanged) {
        Render();
        InvalidateRect(m_hWnd, NULL, TRUE);
    }
}

// A module on the item's start-up that records what the start-up does with
// it: three globals with constructors and destructors, and function-local
// statics with destructors, as many as asked for, the exit list's room
// exceeded on purpose. What happens before the test can ask is kept in the
// module; what happens at unload goes to the test's own recorder.
#include <windows.h>

namespace {

typedef void(__cdecl* PFNRECORD)(const char* pszEvent);

// Plain data, so that it is ready before any constructor runs.
char g_szLog[512];
int g_cchLog = 0;
PFNRECORD g_pfnRecord = NULL;

void Record(const char* pszEvent)
{
    if (g_pfnRecord) {
        g_pfnRecord(pszEvent);
        return;
    }
    for (const char* p = pszEvent; *p && g_cchLog < static_cast<int>(sizeof g_szLog) - 2; ++p)
        g_szLog[g_cchLog++] = *p;
    g_szLog[g_cchLog++] = ' ';
    g_szLog[g_cchLog] = 0;
}

class CRecorded
{
public:
    CRecorded(const char* pszConstructed, const char* pszDestroyed) : m_pszDestroyed(pszDestroyed)
    {
        Record(pszConstructed);
    }
    ~CRecorded() { Record(m_pszDestroyed); }

private:
    const char* m_pszDestroyed;
};

CRecorded g_first("+first", "-first");
CRecorded g_second("+second", "-second");
CRecorded g_third("+third", "-third");

// Function-local statics, each of its own.
template <int N>
void TouchStatic()
{
    static const char s_szConstructed[] = {'+', 's', char('0' + N / 10), char('0' + N % 10), 0};
    static const char s_szDestroyed[] = {'-', 's', char('0' + N / 10), char('0' + N % 10), 0};
    static CRecorded s_recorded(s_szConstructed, s_szDestroyed);
}

template <int N>
struct Statics
{
    static void Touch(int n)
    {
        Statics<N - 1>::Touch(n);
        if (N <= n)
            TouchStatic<N>();
    }
};

template <>
struct Statics<0>
{
    static void Touch(int) {}
};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        Record("attach");
    else if (dwReason == DLL_PROCESS_DETACH)
        Record("detach");
    return TRUE;
}

// What happened before the test could ask.
extern "C" const char* WINAPI ProbeLog()
{
    return g_szLog;
}

// From now on each event goes to pfnRecord.
extern "C" void WINAPI ProbeRecordTo(PFNRECORD pfnRecord)
{
    g_pfnRecord = pfnRecord;
}

// Makes the first n (at most 40) function-local statics, in order.
extern "C" void WINAPI ProbeStatics(int n)
{
    Statics<40>::Touch(n);
}

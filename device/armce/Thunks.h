// The imports whose arguments need more than their kinds: each handler
// checks what it is handed itself (CoredllThunks.cpp, AygshellThunks.cpp,
// CommdlgThunks.cpp).
#pragma once

#include "Imports.h"

namespace armce::thunk {

// coredll.dll
std::uint32_t RegQueryValueExW(GuestCall& call, FARPROC host);
std::uint32_t CreateEventW(GuestCall& call, FARPROC host);
std::uint32_t CreateFileW(GuestCall& call, FARPROC host);
std::uint32_t CloseHandle(GuestCall& call, FARPROC host);
std::uint32_t WaitForSingleObject(GuestCall& call, FARPROC host);
std::uint32_t Sleep(GuestCall& call, FARPROC host);
std::uint32_t CreateProcessW(GuestCall& call, FARPROC host);
std::uint32_t LoadResource(GuestCall& call, FARPROC host);
std::uint32_t SizeofResource(GuestCall& call, FARPROC host);
std::uint32_t RegisterClassW(GuestCall& call, FARPROC host);
std::uint32_t CreateWindowExW(GuestCall& call, FARPROC host);
std::uint32_t DefWindowProcW(GuestCall& call, FARPROC host);
std::uint32_t SendMessageW(GuestCall& call, FARPROC host);
std::uint32_t SendMessageTimeout(GuestCall& call, FARPROC host);
std::uint32_t SendDlgItemMessageW(GuestCall& call, FARPROC host);
std::uint32_t PostMessageW(GuestCall& call, FARPROC host);
std::uint32_t DialogBoxIndirectParamW(GuestCall& call, FARPROC host);
std::uint32_t BeginPaint(GuestCall& call, FARPROC host);
std::uint32_t EndPaint(GuestCall& call, FARPROC host);
std::uint32_t DrawTextW(GuestCall& call, FARPROC host);
std::uint32_t GetObjectW(GuestCall& call, FARPROC host);
std::uint32_t SelectObject(GuestCall& call, FARPROC host);
std::uint32_t GetCurrentObject(GuestCall& call, FARPROC host);
std::uint32_t GetStockObject(GuestCall& call, FARPROC host);
std::uint32_t wsprintfW(GuestCall& call, FARPROC host);
std::uint32_t malloc(GuestCall& call, FARPROC host);
std::uint32_t free(GuestCall& call, FARPROC host);
std::uint32_t memcpy(GuestCall& call, FARPROC host);
std::uint32_t memset(GuestCall& call, FARPROC host);
std::uint32_t wcscpy(GuestCall& call, FARPROC host);

// aygshell.dll
std::uint32_t SHInitDialog(GuestCall& call, FARPROC host);
std::uint32_t SHRecognizeGesture(GuestCall& call, FARPROC host);

// commdlg.dll
std::uint32_t ChooseColor(GuestCall& call, FARPROC host);

} // namespace armce::thunk

// Debug output as a device's debug port gives it: each text on the standard
// error of the device's program (where the device's own reports go), one
// line each, and to a desktop debugger as well.
#include <windows.h>

#include <string>

extern "C" void WINAPI CeOutputDebugStringW(LPCWSTR text)
{
    OutputDebugStringW(text);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!text || !error || error == INVALID_HANDLE_VALUE)
        return;
    std::wstring line = L"debug: " + std::wstring(text);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    line += L'\n';
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr,
        nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

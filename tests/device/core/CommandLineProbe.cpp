// A program that writes the arguments it was started with, one per line in
// UTF-16, into the file its first argument names; for tests of process creation.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    std::wstring text;
    for (int i = 0; i < argc; ++i)
        text += std::wstring(argv[i]) + L"\n";
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}

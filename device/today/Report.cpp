#include "Report.h"

#include "Utf8.h"

#include <cstdio>

void Report(const std::wstring& text)
{
    std::fprintf(stderr, "today: %s\n", Utf8(text).c_str());
}

// The Today screen's one-line reports, on its standard error.
#pragma once

#include <string>

void Report(const std::wstring& text);

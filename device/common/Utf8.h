// Text for the console, logs and files, which take UTF-8.
#pragma once

#include <string>

std::string Utf8(const std::wstring& text);

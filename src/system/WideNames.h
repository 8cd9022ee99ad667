// Paths and account names as morvanectl holds them (UTF-8) and as the
// system's wide functions take them (UTF-16), so that any character works
// whatever the code page.
#pragma once

#include <string>

// False for text that is not valid UTF-8.
bool WideName(const std::string& utf8, std::wstring* wide);
std::string Utf8Name(const std::wstring& wide);

// UTF-16 text as the files and the system's wide API hold it: wchar_t where
// that is 16 bits wide (Windows), char16_t elsewhere, so that the readers of
// backups and presets also build, and are fuzzed, on the build machine.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
using Utf16Char = wchar_t;
#define UTF16(text) L##text
#else
using Utf16Char = char16_t;
#define UTF16(text) u##text
#endif

using Utf16String = std::basic_string<Utf16Char>;
using Utf16View = std::basic_string_view<Utf16Char>;

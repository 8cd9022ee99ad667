// Text inside morvanectl is UTF-8; the system's wide-character API takes
// UTF-16. These convert exactly or say that they cannot.
#pragma once

#include "ctl/Utf16.h"

#include <string>
#include <string_view>

// Valid UTF-8 (no overlong forms, no surrogates) to UTF-16; false otherwise.
bool WideFromUtf8(std::string_view utf8, Utf16String* wide);
// For text known to be valid: names from the tables, converted arguments.
Utf16String Wide(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(Utf16View wide);

// UTF-16 with no unpaired surrogate.
bool WellFormed(Utf16View wide);

// The code point that starts at `at` in UTF-8 text, and how many bytes it
// takes; a byte that starts no valid sequence is read alone as U+FFFD.
size_t NextCodePoint(std::string_view utf8, size_t at, char32_t* c);

// A C0 or C1 control character, DEL, or a line or paragraph separator:
// what may end or break a line, or move a terminal's cursor.
bool IsControl(char32_t c);

// Text for a message: at most `limit` bytes of it, cut at a character and
// marked with "…" when it was longer.
std::string Shortened(std::string_view utf8, size_t limit = 80);

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

// Text for a message: at most `limit` bytes of it, cut at a character and
// marked with "…" when it was longer.
std::string Shortened(std::string_view utf8, size_t limit = 80);

// Text inside morvanectl is UTF-8; the system's wide-character API takes
// UTF-16. These convert exactly or say that they cannot.
#pragma once

#include "ctl/formats/Utf16.h"

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

// A C0 or C1 control character, DEL, a line or paragraph separator, or a
// bidirectional control: what may end or break a line, move a terminal's
// cursor, or show text in another order than it has.
bool IsControl(char32_t c);

// The one rule for text from outside (an argument, a file, a registry name)
// wherever morvanectl writes it: its standard streams, its log and the notes
// in its files. Each IsControl character becomes a visible escape such as
// \x1B, \n or \u202E, so that it can neither move the terminal's cursor nor
// start a line of its own; the rest is kept.
std::string Escaped(std::string_view text);

// Text for a message: at most `limit` bytes of it, cut at a character and
// marked with "…" when it was longer.
std::string Shortened(std::string_view utf8, size_t limit = 80);

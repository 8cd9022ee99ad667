// How the program reads a value that a tweak's state turns on: the roots it
// looks under in order, when a root's value ends the search, and what a
// value read (or none) stands for. The reader, `check`'s explanation, the
// words and what a backup covers all follow this one description.
#pragma once

#include "system/RegValue.h"

#include <windows.h>

#include <span>
#include <string>

// Where a read looks: HKCU and then HKLM, or HKLM alone.
enum RegSearch { HkcuFirst, HklmOnly };

// A string read always looks under HKCU first.
inline constexpr RegSearch kStringSearch = HkcuFirst;

// A DWORD read asks for this many bytes: a longer value makes the query
// under a root fail, and the next root is asked.
inline constexpr DWORD kDwordReadBytes = sizeof(DWORD);

struct ValueRead {
    enum Type { Dword, String } type = Dword;
    RegSearch search = HkcuFirst;
    // What a DWORD read gives when no root's value is taken; a string read
    // then gives the empty text.
    DWORD missing = 0;

    // The roots looked under, first to last.
    std::span<const RegRoot> Roots() const;
    // Whether a value of this many bytes found under a root is passed over
    // for the next root. A string read takes whatever its query finds.
    bool FallsThrough(size_t size) const;
};

// The roots a search looks under, first to last.
std::span<const RegRoot> RootsOf(RegSearch search);

// What a value taken by a DWORD read stands for: its number when it is a
// 4-byte REG_DWORD, otherwise `missing`, as when no root holds it.
DWORD DwordOf(DWORD type, DWORD number, DWORD size, DWORD missing);

// Whether a value taken by a string read holds text: a REG_SZ of at least
// one byte.
bool HoldsText(DWORD type, DWORD size);
// What a value taken by a string read stands for: its bytes but the last,
// taken as the terminating NUL, when it holds text; otherwise empty, as when
// no root holds it.
std::string StringOf(DWORD type, const char* bytes, DWORD size);

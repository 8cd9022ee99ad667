// A backup: a "Windows Registry Editor Version 5.00" file (UTF-16LE with its
// byte-order mark, as the system's own export writes) that puts back every
// value the tweaks read or write, as it stood when the file was made, when
// imported by the system's own tools.
#pragma once

#include "system/Registry.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t kRegHeader[] = L"Windows Registry Editor Version 5.00";
// The last line of every backup: a file without it was cut short.
inline constexpr wchar_t kEndMarker[] = L"; End of the morvanectl backup.";

// One key a tweak reads or writes, with those of its values, each with
// whether a row writes it.
struct CoveredKey {
    RegRoot root;
    std::wstring key;
    std::vector<std::pair<std::wstring, bool>> names;
};

// Everything a backup holds and a restore may write: the values of the
// tweaks, and HKCR keys that go whole (a verb's key, where a tweak creates
// keys of its own).
struct Coverage {
    std::vector<CoveredKey> keys;
    std::vector<std::wstring> classTrees;
    std::vector<std::wstring> createdClassKeys; // inside a tree, each with a default value
    // The per-user root as the file names it; every per-user key of a
    // backup, written or checked, goes through this one name.
    std::wstring userRoot = L"HKEY_CURRENT_USER";

    std::wstring RootName(RegRoot root) const;
    const CoveredKey* Find(RegRoot root, std::wstring_view key) const;
    // The class tree that holds key or is key, or null.
    const std::wstring* TreeOf(std::wstring_view key) const;
};

Coverage BackupCoverage();

// Registry names compare without regard to case.
bool SameKeyName(std::wstring_view a, std::wstring_view b);

// One value as a line of the file: "name"=dword:..., "name"="text" or
// "name"=hex(N):... with long data wrapped as regedit wraps it. An empty
// name is the key's default value, @. Strings are data in UTF-16.
std::wstring RegLine(const std::wstring& name, const RegData& data);

// The whole file as UTF-16 text, lines ended by CR LF; `taken` goes into its
// notes. False, with the key that could not be read or written exactly and
// why, when something that must be backed up cannot be.
bool BackupText(const std::string& taken, std::wstring* text, std::string* error);

// The file's bytes: the byte-order mark and the text in UTF-16LE.
std::string FileBytes(const std::wstring& text);

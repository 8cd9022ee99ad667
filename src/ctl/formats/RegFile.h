// The backup file's lines, both ways: reading a backup back, where the whole
// file is parsed and checked before anything of it may be imported
// (RegFileRead.cpp), and the lines the writer makes (RegFile.cpp). Nothing
// here needs the system.
#pragma once

#include "ctl/formats/Coverage.h"
#include "ctl/formats/Utf16.h"
#include "system/RegValue.h"

#include <string>
#include <string_view>
#include <vector>

struct RegFileEntry {
    enum Kind { DeleteKey, Key, SetValue, DeleteValue } kind;
    int line;
    RegRoot root;
    Utf16String key; // below the root
    Utf16String name;
    RegData data;
    size_t profile = 0; // per-user: whose, by its place in Coverage::profileRoots
};

struct RegFileFault {
    int line = 0;
    std::string what;
};

// True when `bytes` is a whole backup: UTF-16LE with its byte-order mark,
// the header, only lines that a backup holds, every key, deletion and value
// inside `coverage`, each value once, and the end marker as its last line.
// Otherwise the first offending line and what is wrong with it.
bool ReadBackup(std::string_view bytes, const Coverage& coverage,
                std::vector<RegFileEntry>* entries, RegFileFault* fault);

// "HKCU\key" and "HKCU\key : name", as messages about a backup name them.
std::string KeyWhere(RegRoot root, Utf16View key);
std::string ValueWhere(RegRoot root, Utf16View key, Utf16View name);

// What a line of the file can hold and give back unchanged: no line break,
// no other control character, no unpaired surrogate.
bool FitsOnALine(Utf16View text);

// One value as a line of the file: "name"=dword:..., "name"="text" or
// "name"=hex(N):... with long data wrapped as regedit wraps it. An empty
// name is the key's default value, @. Strings are data in UTF-16.
Utf16String RegLine(const Utf16String& name, const RegData& data);
// The line that deletes a value: "name"=-.
Utf16String RegDeletionLine(const Utf16String& name);
// A note: "; " and the text through Escaped (ctl/output/Text.h), so that it stays
// one comment line.
Utf16String RegComment(std::string_view text);

// A whole file of the entries in their order, each key under its root as
// `coverage` names it (a profile's as its profileRoots do): what a restore
// hands to the import, and a backup with its notes after the header.
Utf16String EntriesText(const Coverage& coverage, const std::vector<RegFileEntry>& entries,
                        const Utf16String& notes = {});

// The file's bytes: the byte-order mark and the text in UTF-16LE.
std::string FileBytes(const Utf16String& text);

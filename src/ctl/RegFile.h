// Reading a backup back: the whole file is parsed and checked before
// anything of it may be imported.
#pragma once

#include "ctl/Backup.h"

#include <string>
#include <string_view>
#include <vector>

struct RegFileEntry {
    enum Kind { DeleteKey, Key, SetValue, DeleteValue } kind;
    int line;
    RegRoot root;
    std::wstring key; // below the root
    std::wstring name;
    RegData data;
};

struct RegFileFault {
    int line = 0;
    std::string what;
};

// True when `bytes` is a whole backup: UTF-16LE with its byte-order mark,
// the header, only lines that a backup holds, every key, deletion and value
// inside `coverage`, and the end marker as its last line. Otherwise the
// first offending line and what is wrong with it.
bool ReadBackup(std::string_view bytes, const Coverage& coverage,
                std::vector<RegFileEntry>* entries, RegFileFault* fault);

// What importing the entries would change in the registry as it is now, one
// line each, e.g. "set HKCU\...\Advanced : Hidden = DWORD 2 (now DWORD 1)".
std::vector<std::string> PendingChanges(const std::vector<RegFileEntry>& entries);

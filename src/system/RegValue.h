// The registry's roots and a value as stored, without the system's headers:
// the readers of backup files use them on any machine.
#pragma once

#include <string>

enum RegRoot { HKCU, HKLM, HKCR };

// A value as stored: its type, numbered as the registry numbers them
// (REG_SZ is 1, REG_BINARY 3, REG_DWORD 4), and every byte of its data.
struct RegData {
    unsigned long type = 0; // REG_NONE; a DWORD where the system has one
    std::string bytes;
    bool operator==(const RegData&) const = default;
};

// A backup: a "Windows Registry Editor Version 5.00" file (UTF-16LE with its
// byte-order mark, as the system's own export writes) that puts back every
// value the tweaks read or write, as it stood when the file was made, when
// imported by the system's own tools.
#pragma once

#include "ctl/BackupCoverage.h"
#include "ctl/RegFile.h"
#include "system/Registry.h"

#include <string>

// The whole file as UTF-16 text, lines ended by CR LF; `taken` goes into its
// notes, and how to restore it (with --all-users for a file that gathers
// every profile's keys). False, with the key that could not be read or
// written exactly and why, when something that must be backed up cannot be.
bool BackupText(const std::string& taken, std::wstring* text, std::string* error,
                bool allUsers = false);

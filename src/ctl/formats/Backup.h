// A backup: a "Windows Registry Editor Version 5.00" file (UTF-16LE with its
// byte-order mark, as the system's own export writes) that puts back every
// value the tweaks read or write, as it stood when the file was made, when
// imported by the system's own tools.
#pragma once

#include "ctl/formats/BackupCoverage.h"
#include "ctl/formats/RegFile.h"
#include "system/Registry.h"

#include <string>
#include <vector>

// Which covered keys a part of a backup reads.
enum class BackupPart { Everything, MachineWide, PerUser };

// The part's keys and values as they stand now, each per-user key with
// `profile` (its place among the file's profile roots). False, with the key
// that could not be read or written exactly and why, when something that
// must be backed up cannot be.
bool BackupEntries(BackupPart part, size_t profile, std::vector<RegFileEntry>* entries,
                   std::string* error);

// The notes under the file's header: what it holds, how to restore it
// (with --all-users for a file that gathers every profile's keys), when it
// was taken, then each of `more` as a note of its own.
Utf16String BackupNotes(const std::string& taken, bool allUsers,
                        const std::vector<std::string>& more);

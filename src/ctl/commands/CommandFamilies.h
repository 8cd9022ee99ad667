// The records of every command, each defined in the file of its family;
// the dispatcher lists them in the order the usage shows them.
#pragma once

#include "ctl/CommandLine.h"

extern const Command kListCommand, kShowCommand, kReferenceCommand; // Tables.cpp
extern const Command kSetCommand, kApplyCommand;                    // SetApply.cpp
extern const Command kCheckCommand, kSaveCommand;                   // Presets.cpp
extern const Command kBackupCommand, kRestoreCommand;               // BackupRestore.cpp
extern const Command kExportCommand;                                // ExportCommand.cpp
extern const Command kKeepCommand;                                  // KeepCommand.cpp

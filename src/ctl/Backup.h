// A REGEDIT4 file that puts back every value the tweaks read or write, as it
// stood when the file was made, when imported by the system's own tools.
#pragma once

#include "system/Registry.h"

#include <string>

// One value as a line of a REGEDIT4 file: "name"=dword:..., "name"="text" or
// "name"=hex(N):... with long data wrapped as regedit wraps it. An empty name
// is the key's default value, @.
std::string RegLine(const std::string& name, const RegData& data);

// The whole file, lines ended by CR LF; `taken` goes into its header. False,
// with the key that could not be read and why, when something that must be
// backed up cannot be read.
bool BackupText(const std::string& taken, std::string* text, std::string* error);

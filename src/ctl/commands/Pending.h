// What importing a checked backup would change in the registry as it is now.
#pragma once

#include "ctl/formats/RegFile.h"

#include <string>
#include <vector>

// One line each, e.g. "set HKCU\...\Advanced : Hidden = DWORD 2 (now DWORD 1)".
std::vector<std::string> PendingChanges(const std::vector<RegFileEntry>& entries);

// What importing a checked backup would change in the registry as it is now.
#pragma once

#include "ctl/formats/RegFile.h"

#include <string>
#include <vector>

// One line each, e.g. "set HKCU\...\Advanced : Hidden = DWORD 2 (now DWORD 1)";
// in an offline image a machine-wide key is named as the mounted key it is.
std::vector<std::string> PendingChanges(const std::vector<RegFileEntry>& entries);

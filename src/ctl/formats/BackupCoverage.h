// What a backup of this machine covers, made from the tweak tables: every
// value a row reads or writes, and the class keys that go whole.
#pragma once

#include "ctl/formats/Coverage.h"

#include <string_view>

// Every value a row reads (under each root its read looks under) or writes,
// grouped by key in the order the tables first name them.
Coverage BackupCoverage();

// Registry names compare without regard to case.
bool SameKeyName(std::wstring_view a, std::wstring_view b);

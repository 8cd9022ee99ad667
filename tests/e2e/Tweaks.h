// The registry as the tests that drive the real program lay it out before a
// start. What each box does is in the table of expect/Boxes.h.
#pragma once

#include "expect/Boxes.h"
#include "support/Cells.h"

#include <set>
#include <utility>

namespace e2e {

using expect::Box;
using BoxKey = std::pair<int, int>; // page, id

// Every value that some box reads or writes, under HKCU and under HKLM, is
// removed, the Notepad verb's key too; then `values` are stored.
void PrepareRegistry(const Snapshot& values);

// Those values as the registry holds them now, each under each root.
Snapshot NamedValues();

// Registry contents for a first start with some boxes checked: through
// per-user and machine-wide values, through a machine-wide value that a
// per-user read finds, and through the program's own store.
const Snapshot& PreparedValues();

// The boxes that show checked when none of those values is stored.
std::set<BoxKey> CheckedInAnEmptyRegistry();

} // namespace e2e

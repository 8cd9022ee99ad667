// What every box of the five pages does, written down as data for the tests
// that drive the real program: when it starts checked, what a check and an
// uncheck change in the registry, and which commands they start. Values are
// named as the sandbox snapshots name them: "ROOT\key\:name", keys "ROOT\key\".
#pragma once

#include "support/Cells.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// One condition on the registry as a box reads it at start. A value under
// HKCU is looked for there and then under HKLM; one under HKLM there alone.
struct Condition {
    enum Kind { DwordIs, DwordIsNot, TextIs } kind;
    std::string path;
    DWORD fallback = 0; // what a missing or unreadable number reads as
    DWORD number = 0;
    std::string text;
};

struct Box {
    int page;
    int id;
    std::string label;
    std::vector<Condition> checkedWhen; // all of them
    Changes onCheck, onUncheck;
    // The command lines the recorder logs, in order.
    std::vector<std::string> commandsOnCheck, commandsOnUncheck;
};

using BoxKey = std::pair<int, int>; // page, id

const std::vector<Box>& Boxes();
const Box& BoxAt(int page, int id);

// Whether a box's conditions hold in the registry now.
bool Holds(const Box& box);
std::set<BoxKey> CheckedNow();

// Every value that some box reads or writes, under HKCU and under HKLM, is
// removed, the Notepad verb's key too; then `values` are stored.
void PrepareRegistry(const Snapshot& values);

// Registry contents for a first start with some boxes checked: through
// per-user and machine-wide values, through a machine-wide value that a
// per-user read finds, and through the program's own store.
const Snapshot& PreparedValues();

} // namespace e2e

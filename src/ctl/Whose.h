// Whose settings a command changes: the options that choose another user's
// hive, and the refusal to write per-user values into LocalSystem's own
// profile, where nobody would ever see them.
#pragma once

#include "tweaks/Tweaks.h"

#include <string>
#include <vector>

// A row that writes anything under HKEY_CURRENT_USER.
bool WritesPerUser(const TweakRow& row, bool on);

// Empty when the changes may go ahead; otherwise why not: the caller is
// LocalSystem, HKEY_CURRENT_USER is its own, and some of the changes write
// per-user values.
std::string PerUserRefusal(const std::vector<std::pair<const TweakRow*, bool>>& changes);

// The same for a .reg file about to be imported: one that writes
// HKEY_CURRENT_USER while that is not the caller's own, or as LocalSystem.
std::string RestoreRefusal(const std::string& regText);

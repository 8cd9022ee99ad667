// Whose settings a command changes: the options that choose another user's
// hive, the refusal to write per-user values into LocalSystem's own
// profile, where nobody would ever see them, and the refusal of a profile
// that holds a registry link where the tweaks read or write.
#pragma once

#include "ctl/formats/RegFile.h"
#include "tweaks/Tweaks.h"

#include <string>
#include <vector>

// Empty when the changes may go ahead; otherwise why not: the caller is
// LocalSystem, HKEY_CURRENT_USER is its own, and some of the changes write
// per-user values.
std::string PerUserRefusal(const std::vector<std::pair<const TweakRow*, bool>>& changes);

// The same for a checked backup about to be imported: one that writes
// per-user keys as LocalSystem without --user or --hive. (Under --user or
// --hive a backup naming HKEY_CURRENT_USER reaches outside what it covers.)
std::string RestoreRefusal(const std::vector<RegFileEntry>& entries);

// Empty when no key on the path of a per-user tweak, in the hive that
// HKEY_CURRENT_USER stands for, is a registry link; otherwise "holds a
// registry link at KEY, ...". Such a profile is never read or written: the
// link may lead anywhere, HKEY_LOCAL_MACHINE too. Links inside the user's
// own hive are refused as well, since no tweak's path needs one.
std::string LinkRefusal();

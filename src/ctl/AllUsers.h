// Every profile of the machine at once: machine-wide tweaks are read and set
// once, per-user tweaks once for each profile, whose hive is the signed-in
// user's under HKEY_USERS\<SID> or its NTUSER.DAT loaded for the moment.
// A profile that cannot be opened is named with why, and the others go ahead.
#pragma once

#include "ctl/Console.h"
#include "ctl/Preset.h"
#include "tweaks/Tweaks.h"

#include <string>
#include <vector>

// A row that reads or writes anything of the user's own: under
// HKEY_CURRENT_USER, or in the store.
bool PerUserRow(const TweakRow& row);
// The preset's lines for one group: machine-wide or per-user.
std::vector<PresetLine> LinesOf(const std::vector<PresetLine>& lines, bool perUser);

// list --all-users
int ListAllUsers(Console& c, bool json);
// check --all-users: 1 when any line of a profile that was read differs,
// else 3 when a profile could not be read, else 0.
int CheckAllUsers(Console& c, const std::string& path, const std::vector<PresetLine>& lines,
                  bool json);
// set --all-users
int SetAllUsers(Console& c, const std::vector<std::pair<const TweakRow*, bool>>& changes,
                bool dryRun);
// backup --all-users: machine-wide values once and every loaded profile's
// under HKEY_USERS\<SID>, so that reg import puts them back; profiles that
// are not loaded are named as left out.
int BackupAllUsers(Console& c, const std::string& path);

struct ApplyAllMode {
    bool dryRun = false;
    bool always = false; // --all
    std::string backup;  // --backup FILE, or empty
};
// apply --all-users: backs up only when something will change. A preset kept
// by `keep` backs up into the kept backups' folder and logs every change and
// failure to the kept log.
int ApplyAllUsers(Console& c, const std::string& path, const std::vector<PresetLine>& lines,
                  const ApplyAllMode& mode);

// What several command families share: their common options and the
// reading of a preset named on the command line.
#pragma once

#include "ctl/CommandLine.h"
#include "ctl/output/Console.h"
#include "ctl/formats/Preset.h"

#include <string>
#include <vector>

inline constexpr Option kJson{"--json", nullptr, "a JSON array of objects, one a tweak"};
inline constexpr Option kDryRun{"--dry-run", nullptr, "says what it would do, and changes nothing"};
inline constexpr Option kForce{"--force", nullptr, "replaces a file that exists already"};

// The preset's lines, checked whole: kDone, or kBadInput with every fault
// said and then `refusal`.
int ReadPreset(Console& c, const std::string& path, const char* refusal,
               std::vector<PresetLine>* lines);

class Scopes;

// A backup never replaces a file.
inline constexpr char kBackupRefusal[] = "a backup never replaces a file";
// The name of a backup's file when none is given, as LocalStamp formats it.
inline constexpr char kBackupName[] = "morvane-backup-%04u%02u%02u-%02u%02u%02u-%03u";

// Backs up every scope to `path`, or under a name of its own in `folder`
// (here when empty) and says where; *written is the file's name. False, with
// *failure said, when no backup was written. Over many scopes a profile
// that is not signed in, or that could not be opened, is named as left out.
bool WriteBackup(Console& c, const Scopes& scopes, const std::string& path,
                 const std::string& folder, std::string* written, std::string* failure);

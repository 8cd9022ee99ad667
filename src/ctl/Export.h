// A preset as a roll-out for the engines that administrators already run:
// an Ansible playbook, or the preference files of a Group Policy object.
// Either says what apply of the preset makes, not the conditions.
#pragma once

#include <string>
#include <vector>

// Whose per-user values the export writes.
struct ExportTarget {
    enum Kind { ConnectingUser, User, HiveFile } kind = ConnectingUser;
    std::string sid;  // User
    std::string file; // HiveFile: the profile file as given
};

// export FORMAT PRESET [OUT]: `words` holds FORMAT, PRESET and OUT. Text for
// standard output goes to *out, messages for standard error (each line
// starting "morvanectl: ") to *err. The exit code: 0 written, 2 nothing
// written.
int ExportCommand(const std::vector<std::string>& words, const ExportTarget& target,
                  std::string* out, std::string* err);

// A preset as a roll-out for the engines that administrators already run:
// an Ansible playbook, or the preference files of a Group Policy object.
// Either says what apply of the preset makes, not the conditions.
#pragma once

#include "ctl/Preset.h"

#include <string>
#include <vector>

// Whose per-user values the export writes.
struct ExportTarget {
    enum Kind { ConnectingUser, User, HiveFile } kind = ConnectingUser;
    std::string sid;  // User
    std::string file; // HiveFile: the profile file as given
};

// What is wrong with the words of export FORMAT PRESET [OUT] (two or three
// of them), or the empty text.
std::string ExportProblem(const std::vector<std::string>& words);

// What of the texts from outside that an export writes (the preset's path,
// the profile file's path, the SID) cannot be written safely in the
// format: a control character, a line separator. The empty text when all
// can.
std::string ExportTextProblem(const std::vector<std::string>& words, const ExportTarget& target);

// Writes the export of the preset's lines, once ExportProblem found nothing
// wrong with `words`. Text for standard output goes to *out, messages for
// standard error (each line starting "morvanectl: ") to *err. The exit code:
// 0 written, 2 nothing written.
int ExportCommand(const std::vector<std::string>& words, const std::vector<PresetLine>& lines,
                  const ExportTarget& target, std::string* out, std::string* err);

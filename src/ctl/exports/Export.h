// A preset as a roll-out for the engines that administrators already run:
// an Ansible playbook, the preference files of a Group Policy object, or a
// .reg file. Each says what apply of the preset makes, not the conditions.
#pragma once

#include "ctl/exports/ExportTarget.h"
#include "ctl/formats/Preset.h"

#include <string>
#include <vector>

// What is wrong with the words of export FORMAT PRESET [OUT] (two or three
// of them), or the empty text.
std::string ExportProblem(const std::vector<std::string>& words);

// What of the texts from outside that an export writes (the preset's path,
// the profile file's path, the SID) cannot be written safely in the
// format (a control character, a line separator), or why the format cannot
// write for the target at all. The empty text when it can.
std::string ExportTextProblem(const std::vector<std::string>& words, const ExportTarget& target);

// The formats' names: "ansible, gpp or reg" with (", ", " or ").
std::string ExportFormatNames(const char* separator, const char* last);
// The export command's arguments and summary for the help, from the formats.
const char* ExportArguments();
const char* ExportSummary();

// Writes the export of the preset's lines, once ExportProblem found nothing
// wrong with `words`. Text for standard output goes to *out, messages for
// standard error (each line starting "morvanectl: ") to *err. An existing
// OUT file is replaced only with `replace`; a GPO's existing files are
// updated, only morvanectl's own items in them replaced. The exit code: 0
// written, 2 nothing written.
int ExportCommand(const std::vector<std::string>& words, const std::vector<PresetLine>& lines,
                  const ExportTarget& target, bool replace, std::string* out, std::string* err);

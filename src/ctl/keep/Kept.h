// What kept presets leave on the machine, under %ProgramData%\Morvane: the
// copies the tasks apply (kept\NAME.preset beside its task's definition),
// the backups their runs take (backups\, the newest kKeptBackups kept) and
// one log of every change and failure (kept.log, rotated below kKeptLogLimit).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline constexpr size_t kKeptBackups = 20;
inline constexpr unsigned long long kKeptLogLimit = 1024 * 1024;

// "%ProgramData%\Morvane" and the places inside it.
std::string DataFolder();
std::string KeptFolder();
std::string KeptBackupFolder();
std::string KeptLogPath();

// The kept preset's NAME when path is a preset inside the kept folder (so
// the run is a kept task's), else the empty text.
std::string KeptPresetName(const std::string& path);

// What Morvane makes there is made with this: owned by Administrators,
// LocalSystem and Administrators in full control, Users reading, nothing
// inherited from above.
SECURITY_ATTRIBUTES* DataSecurity();

// Why LocalSystem must not use `path`, or a folder between it and the data
// folder: "PATH is a link …" or "PATH can be changed by …". A missing part
// ends the check: what is not there yet is made with DataSecurity.
std::string DataPathProblem(const std::string& path);

// The data folder, and `folder` inside it, made where missing, then
// checked; why they cannot be used, or empty.
std::string MakeDataFolder(const std::string& folder);

// For a run of a kept preset: why its preset, backups or log must not be
// used; empty for every other run.
std::string KeptRunProblem(const std::string& path);

// The local time as "2026-12-10 01:02:03", or with `format` as
// snprintf takes year, month, day, hour, minute, second and milliseconds.
std::string LocalStamp(const char* format = "%04u-%02u-%02u %02u:%02u:%02u");

// One line of the kept log, as its fields: time, preset, profile, tweak,
// state before, state after or what failed.
using KeptLogLine = std::vector<std::string>;

// Appends the lines to the kept log, first moving a log that would grow past
// kKeptLogLimit to kept.log.1 (replacing the one before). Each field goes
// through Escaped (ctl/output/Text.h), so that none can hold a tab or start a line;
// tabs separate them. Why the lines could not be written, or empty.
std::string AppendKeptLog(const std::vector<KeptLogLine>& lines);

// Deletes the oldest backups of the folder until `keep` are left, counting
// `written`, the one this run wrote, which always stays. Only names of the
// form backups get (morvane-backup-YYYYMMDD-HHMMSS-mmm[-N].reg), ordered by
// the time in them; any other file is left alone. Returns how many went.
size_t PruneBackups(const std::string& folder, size_t keep, const std::string& written);

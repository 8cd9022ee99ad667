// What kept presets leave on the machine, under %ProgramData%\Morvane: the
// copies the tasks apply (kept\NAME.preset beside its task's definition),
// the backups their runs take (backups\, the newest kKeptBackups kept) and
// one log of every change and failure (kept.log, rotated below kKeptLogLimit).
#pragma once

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

// Creates the folder and those above it; false when it cannot be made.
bool MakeFolders(const std::string& folder);

// The local time as "2026-12-10 01:02:03", or with `format` as
// snprintf takes year, month, day, hour, minute, second and milliseconds.
std::string LocalStamp(const char* format = "%04u-%02u-%02u %02u:%02u:%02u");

// Appends the lines to the kept log, first moving a log that would grow past
// kKeptLogLimit to kept.log.1 (replacing the one before). False when the
// lines could not be written.
bool AppendKeptLog(const std::vector<std::string>& lines);

// Deletes the oldest backups of the folder until `keep` are left, counting
// `written`, the one this run wrote, which always stays. Only names of the
// form backups get (morvane-backup-YYYYMMDD-HHMMSS-mmm[-N].reg), ordered by
// the time in them; any other file is left alone. Returns how many went.
size_t PruneBackups(const std::string& folder, size_t keep, const std::string& written);

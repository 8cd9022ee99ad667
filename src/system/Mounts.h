// Hive files this program loads into the registry: the privileges a load
// and an unload take, what a hive file begins with, the names each run loads
// them as, and unloading what a run that was killed left loaded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How a backup names a profile file's keys, below HKEY_USERS: one name for
// every run, so that a backup taken from a file restores into that file
// loaded again. Each run loads the file as "Morvane.Hive.<PID>", a name of
// its own, so that a run that was killed cannot block the next.
inline constexpr char kHiveMount[] = "Morvane.Hive";

// What an offline image's hives are loaded as: "Morvane.Image.<PID>.<part>",
// SOFTWARE and SYSTEM below HKEY_LOCAL_MACHINE, Default below HKEY_USERS.
inline constexpr char kImageMount[] = "Morvane.Image";

// The name below HKEY_USERS that this process loads a profile file as.
std::string HiveMountName();

// Where a walk over every profile loads its n-th profile file:
// "Morvane.Hive.<PID>.<n>", its process's name with the profile's number.
std::string ProfileMount(int n);

// The name this process loads an image's hive `part` as.
std::string ImageMountName(const char* part);

// Enables (or gives up) both privileges that loading and unloading a hive
// need. False when either is not granted.
bool HivePrivileges(bool enable);

// Whether an open file begins as a hive file does: Windows' own with
// "regf", those that Wine saves with a text line. Reads from where it is.
bool BeginsAsHive(HANDLE file);

// Unloads every mount of ours whose process is not running, what a run that
// was killed left loaded: "Morvane.Hive.<PID>[.<N>]" and
// "Morvane.Image.<PID>.Default" below HKEY_USERS, "Morvane.Image.<PID>.*"
// below HKEY_LOCAL_MACHINE. Needs the backup and restore privileges enabled.
// Returns the names it unloaded, each below its root.
std::vector<std::string> UnloadStaleMounts();

// The keys of ours below HKEY_USERS whose name holds no process id, such as
// "Morvane.Hive" loaded by hand to import a backup: whose they are cannot be
// told, so they are never unloaded.
std::vector<std::string> MountsOfNoRun();

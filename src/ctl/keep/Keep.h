// keep: a preset applied again to the machine and every profile by the
// system's own Task Scheduler, at start-up, daily and after an installed
// update, through schtasks.exe. Nothing of ours runs in the background.
#pragma once

#include "ctl/output/Console.h"

#include <string>

// The task's folder in the Task Scheduler.
inline constexpr char kTaskFolder[] = "\\Morvane\\";

// Copies a checked preset into the kept folder and registers its task,
// replacing an earlier one of the same name.
int KeepPreset(Console& c, const std::string& path);
// Each kept preset with its triggers and its last logged run.
int ListKept(Console& c);
// Removes the task and the kept copy of NAME, nothing else.
int RemoveKept(Console& c, const std::string& name);
// Removes every kept preset's task and copy, and the kept folder: what the
// uninstaller runs, as no task may outlive the program it starts.
int RemoveAllKept(Console& c);

// Small helpers shared by the measurements: a clock, medians, Linux's own
// per-thread counters seen through Wine's Z: drive, and the printed table.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Microseconds on the performance counter.
double NowUs();

struct Summary {
    double median = 0;
    double min = 0;
    double p90 = 0;
    size_t count = 0;
};
Summary Summarize(std::vector<double> samples);

// What the kernel counts for one thread: time on a CPU (exact, from
// schedstat), how many times it was put on a CPU, and its voluntary
// switches (each one a wait that ended).
struct TaskCounters {
    double cpuMs = 0;
    unsigned long long runs = 0;
    unsigned long long voluntarySwitches = 0;
};
// task is a path below /proc, e.g. "123/task/125".
bool ReadTaskCounters(const std::string& task, TaskCounters& out);
// This process's Linux process id, or the empty text. /proc/self is of no
// use: under Wine the wineserver opens every file. A Wine process's comm is
// its executable's name, cut to 15 characters.
std::string OwnUnixPid();
// The Linux thread ids of a process.
std::vector<std::string> ListTasks(const std::string& pid);

// A line of the table: a label in the first column, then free text.
void Line(const char* label, const char* fmt, ...);
void Heading(const char* fmt, ...);
// "met" or "MISSED".
const char* Verdict(bool met);

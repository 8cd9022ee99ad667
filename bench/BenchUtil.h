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
    double p25 = 0;
    double p75 = 0;
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

// Waits before a batch of timed runs until the rest of the machine is
// quiet: the share of all CPUs that others used over the last second, read
// from Linux's /proc/stat, is under the limit. The wait is bounded; a batch
// that had to start anyway is counted and said so.
class QuietGate {
public:
    QuietGate(double maxShare, int maxWaitS) : m_maxShare(maxShare), m_maxWaitS(maxWaitS) {}
    void Wait();
    // One line: how many batches started quiet, how long they waited, and
    // how busy the others were when a batch started anyway.
    std::string Describe() const;

private:
    double m_maxShare;
    int m_maxWaitS;
    int m_batches = 0;
    int m_startedAnyway = 0;
    double m_longestWaitS = 0;
    double m_worstShare = 0; // at the start of a batch that started anyway
    bool m_unreadable = false;
};

// A line of the table: a label in the first column, then free text.
void Line(const char* label, const char* fmt, ...);
void Heading(const char* fmt, ...);
// "met" or "MISSED".
const char* Verdict(bool met);

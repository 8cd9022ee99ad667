#include "BenchUtil.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

double NowUs() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perUs;
}

Summary Summarize(std::vector<double> samples) {
    Summary s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    s.count = n;
    s.min = samples.front();
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    // Linear between the two nearest ranks.
    const auto at = [&](double q) {
        const double pos = q * static_cast<double>(n - 1);
        const size_t lo = static_cast<size_t>(pos);
        const size_t hi = std::min(n - 1, lo + 1);
        return samples[lo] + (samples[hi] - samples[lo]) * (pos - static_cast<double>(lo));
    };
    s.p25 = at(0.25);
    s.p75 = at(0.75);
    s.p90 = samples[std::min(n - 1, (n * 9 + 9) / 10 - 1)];
    return s;
}

namespace {

// procfs files report no size: read until the end.
bool ReadWholeFile(const std::string& path, std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    text.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(h);
    return !text.empty();
}

} // namespace

bool ReadTaskCounters(const std::string& task, TaskCounters& out) {
    std::string sched, status;
    const std::string base = "Z:\\proc\\" + task;
    std::string dosBase = base;
    std::replace(dosBase.begin(), dosBase.end(), '/', '\\');
    if (!ReadWholeFile(dosBase + "\\schedstat", sched) ||
        !ReadWholeFile(dosBase + "\\status", status))
        return false;
    char* end = nullptr;
    const unsigned long long ns = strtoull(sched.c_str(), &end, 10);
    strtoull(end, &end, 10); // time spent waiting for a CPU
    out.runs = strtoull(end, &end, 10);
    out.cpuMs = static_cast<double>(ns) / 1e6;
    const size_t at = status.find("voluntary_ctxt_switches:");
    if (at == std::string::npos)
        return false;
    out.voluntarySwitches = strtoull(status.c_str() + at + 24, nullptr, 10);
    return true;
}

namespace {

std::vector<std::string> ListDir(const std::string& dosPattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(dosPattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (fd.cFileName[0] >= '0' && fd.cFileName[0] <= '9')
            names.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

} // namespace

std::string OwnUnixPid() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string comm = path;
    comm = comm.substr(comm.find_last_of('\\') + 1).substr(0, 15);
    std::string found;
    unsigned long best = 0;
    for (const std::string& pid : ListDir("Z:\\proc\\*")) {
        std::string text;
        if (!ReadWholeFile("Z:\\proc\\" + pid + "\\comm", text))
            continue;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        // Should two run at once, the newest is this one.
        if (lstrcmpiA(text.c_str(), comm.c_str()) == 0 && std::stoul(pid) > best) {
            best = std::stoul(pid);
            found = pid;
        }
    }
    return found;
}

std::vector<std::string> ListTasks(const std::string& pid) {
    return ListDir("Z:\\proc\\" + pid + "\\task\\*");
}

namespace {

// Busy and total jiffies of all CPUs together.
bool ReadCpuTotals(unsigned long long& busy, unsigned long long& total) {
    std::string text;
    if (!ReadWholeFile("Z:\\proc\\stat", text) || text.compare(0, 4, "cpu ") != 0)
        return false;
    // user nice system idle iowait irq softirq steal
    unsigned long long v[8] = {};
    const char* p = text.c_str() + 4;
    for (unsigned long long& x : v) {
        char* end = nullptr;
        x = strtoull(p, &end, 10);
        p = end;
    }
    total = 0;
    for (unsigned long long x : v)
        total += x;
    busy = total - v[3] - v[4];
    return true;
}

} // namespace

void QuietGate::Wait() {
    ++m_batches;
    const double start = NowUs();
    double share = 1;
    for (;;) {
        unsigned long long busy0, total0, busy1, total1;
        if (!ReadCpuTotals(busy0, total0)) {
            m_unreadable = true;
            return;
        }
        Sleep(1000); // this process and its wineserver are idle meanwhile
        if (!ReadCpuTotals(busy1, total1)) {
            m_unreadable = true;
            return;
        }
        share = total1 > total0 ? static_cast<double>(busy1 - busy0) / (total1 - total0) : 1;
        const double waitedS = (NowUs() - start) / 1e6;
        m_longestWaitS = std::max(m_longestWaitS, waitedS);
        if (share < m_maxShare)
            return;
        if (waitedS >= m_maxWaitS) {
            ++m_startedAnyway;
            m_worstShare = std::max(m_worstShare, share);
            fprintf(stderr,
                    "bench: the machine was not quiet after %.0f s (others used %.0f %% of the "
                    "CPUs): starting anyway\n",
                    waitedS, share * 100);
            return;
        }
    }
}

std::string QuietGate::Describe() const {
    char text[256];
    if (m_unreadable) {
        snprintf(text, sizeof(text), "unknown: /proc/stat could not be read");
    } else if (!m_startedAnyway) {
        snprintf(text, sizeof(text),
                 "yes: all %d batches started with others under %.0f %% CPU (longest wait %.0f s)",
                 m_batches, m_maxShare * 100, m_longestWaitS);
    } else {
        snprintf(text, sizeof(text),
                 "NO: %d of %d batches started anyway after %d s, others using up to %.0f %% "
                 "CPU; figures are less sure",
                 m_startedAnyway, m_batches, m_maxWaitS, m_worstShare * 100);
    }
    return text;
}

void Heading(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    printf("\n");
    vprintf(fmt, args);
    printf("\n");
    va_end(args);
    fflush(stdout);
}

void Line(const char* label, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    printf("   %-44s ", label);
    vprintf(fmt, args);
    printf("\n");
    va_end(args);
    fflush(stdout);
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

// What this process holds, counted in ways that also work under Wine, where
// the system's own per-process handle and GDI counts always read 0.
#pragma once

#include <ostream>

// Kernel handles: this process's entries in the system's handle list.
int OpenHandleCount();
// GDI objects: the live entries of the process's GDI handle table.
int GdiObjectCount();
// Threads of this process, from a Toolhelp snapshot.
int ThreadCount();

struct ProcessCounts {
    int handles, gdiObjects, threads;
    bool operator==(const ProcessCounts&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const ProcessCounts& c) {
        return os << c.handles << " handles, " << c.gdiObjects << " GDI objects, " << c.threads
                  << " threads";
    }
};
ProcessCounts CountProcessObjects();

// A thread whose handle is already signalled may stay listed, with its
// handles, for a moment. These read again, for two seconds at most, until the
// counts are the expected ones, and return the last reading: what was leaked
// is still counted then.
ProcessCounts CountsSettlingTo(const ProcessCounts& expected);
int ThreadCountSettlingTo(int expected);

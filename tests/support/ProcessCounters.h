// What this process holds, counted in ways that also work under Wine, where
// GetProcessHandleCount and GetGuiResources always say 0.
#pragma once

// Kernel handles: this process's entries in the system's handle list.
int OpenHandleCount();
// GDI objects: the live entries of the process's GDI handle table.
int GdiObjectCount();
// Threads of this process, from a Toolhelp snapshot.
int ThreadCount();

struct ProcessCounts {
    int handles, gdiObjects, threads;
    bool operator==(const ProcessCounts&) const = default;
};
ProcessCounts CountProcessObjects();

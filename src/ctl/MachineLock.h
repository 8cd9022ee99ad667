// One lock for the whole machine, held by every command that changes it, so
// that two runs never interleave their writes and their read-backs. A run
// that ends in any way, killed included, gives it up.
#pragma once

#include "system/NonCopyable.h"

#include <windows.h>

#include <string>

// How long a second command waits for the lock before it gives up.
extern DWORD g_machineLockWaitMs;

class MachineLock : NonCopyable {
public:
    ~MachineLock();

    // Waits up to g_machineLockWaitMs. True once held, and `what` (the
    // command, as its holder would like it named) is recorded for others to
    // read. False, with who holds it (e.g. "process 1234: apply a.preset")
    // or why it could not be had, otherwise.
    bool Acquire(const std::string& what, std::string* holder);
    void Release();

private:
    HANDLE m_mutex = nullptr;
    HANDLE m_record = nullptr;
    bool m_held = false;
};

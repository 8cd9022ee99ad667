// The animation's worker thread and what tells it to stop: a quit flag it
// reads between its steps and a manual-reset event that cuts its wait short.
#pragma once

#include <windows.h>

#include <atomic>

class AnimationWorker {
public:
    AnimationWorker();
    AnimationWorker(const AnimationWorker&) = delete;
    AnimationWorker& operator=(const AnimationWorker&) = delete;
    // The owner has waited for the thread by then.
    ~AnimationWorker();

    // One thread at a time, and none that could not be told to stop.
    bool CanStart() const { return m_hQuit && !m_hThread; }
    bool Running() const { return m_hThread != nullptr; }
    // Created suspended, so the handle is in place before the thread runs.
    void Start(LPTHREAD_START_ROUTINE proc, void* arg);

    bool QuitRequested() const { return m_bQuit; }
    HANDLE QuitEvent() const { return m_hQuit; }

    // Asks the thread to stop and waits for it, ms at most (INFINITE for no
    // limit); then clears the request. A thread still running after that
    // keeps its handle and the request, and the result is false.
    bool Stop(DWORD ms);

private:
    bool WaitForThread(DWORD ms) const;

    HANDLE m_hThread = nullptr;
    HANDLE m_hQuit = nullptr;
    std::atomic<bool> m_bQuit{false};
};

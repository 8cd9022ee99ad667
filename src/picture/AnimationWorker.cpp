#include "picture/AnimationWorker.h"

AnimationWorker::AnimationWorker() : m_hQuit(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

AnimationWorker::~AnimationWorker() {
    if (m_hThread)
        CloseHandle(m_hThread);
    if (m_hQuit)
        CloseHandle(m_hQuit);
}

void AnimationWorker::Start(LPTHREAD_START_ROUTINE proc, void* arg) {
    if (!CanStart())
        return;
    m_hThread = CreateThread(nullptr, 0, proc, arg, CREATE_SUSPENDED, nullptr);
    if (m_hThread && ResumeThread(m_hThread) == static_cast<DWORD>(-1)) {
        // Never ran: nothing to unwind in it.
        TerminateThread(m_hThread, 0);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
}

bool AnimationWorker::Stop(DWORD ms) {
    m_bQuit = true;
    if (m_hQuit)
        SetEvent(m_hQuit);
    if (m_hThread) {
        if (!WaitForThread(ms))
            return false;
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (m_hQuit)
        ResetEvent(m_hQuit);
    m_bQuit = false;
    return true;
}

// The waiting thread answers what other threads send it, so the worker (or
// the system on its behalf) never waits on it in turn.
bool AnimationWorker::WaitForThread(DWORD ms) const {
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = ms == INFINITE ? INFINITE : now >= until ? 0 : DWORD(until - now);
        const DWORD r = MsgWaitForMultipleObjects(1, &m_hThread, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r != WAIT_OBJECT_0 + 1)
            return false;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The notice animation's cost: the notice loaded from its resource into the
// main window's own notice control, shown and left playing. Its worker is
// found as the one thread ShowPicture adds; the kernel's own counters for it
// (time on a CPU to the nanosecond, times put on a CPU) are read through
// Wine's Z: drive, GetThreadTimes is shown beside them, and paints of the
// control are counted by subclassing it. The floor is a thread that does
// nothing but wake at the same rate: a wait on an event with the frame's
// timeout.
#include "BenchUtil.h"
#include "Benches.h"

#include "framework/Dialog.h"
#include "picture/CPictureEx.h"
#include "resource.h"

#include <olectl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>

namespace {

constexpr DWORD kFloorWaitMs = 500; // the notice's frame delay
constexpr DWORD kSlotMs = 10;
constexpr DWORD kSamplingMs = 5000;

WNDPROC g_pictureProc = nullptr;
int g_paints = 0;

LRESULT CALLBACK CountPaints(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT)
        ++g_paints;
    return CallWindowProcA(g_pictureProc, hWnd, msg, wParam, lParam);
}

std::set<DWORD> ThreadIds() {
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te{sizeof(te)};
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            ids.insert(te.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

// A thread of this process, seen by Windows and by the kernel.
class WatchedThread {
public:
    ~WatchedThread() {
        if (m_hThread)
            CloseHandle(m_hThread);
        if (m_hSchedstat != INVALID_HANDLE_VALUE)
            CloseHandle(m_hSchedstat);
    }

    // Runs start and attaches to the one thread it adds.
    bool AttachToNew(const std::string& pid, const std::function<void()>& start) {
        const std::set<DWORD> idsBefore = ThreadIds();
        const std::vector<std::string> tasksBefore = ListTasks(pid);
        start();
        std::vector<DWORD> ids;
        for (DWORD id : ThreadIds())
            if (!idsBefore.count(id))
                ids.push_back(id);
        std::vector<std::string> tasks;
        for (const std::string& t : ListTasks(pid))
            if (std::find(tasksBefore.begin(), tasksBefore.end(), t) == tasksBefore.end())
                tasks.push_back(t);
        if (ids.size() != 1 || tasks.size() != 1)
            return false;
        m_hThread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, ids[0]);
        m_task = pid + "/task/" + tasks[0];
        const std::string schedstat = "Z:\\proc\\" + pid + "\\task\\" + tasks[0] + "\\schedstat";
        m_hSchedstat = CreateFileA(schedstat.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        return true;
    }

    TaskCounters Counters() const {
        TaskCounters c;
        ReadTaskCounters(m_task, c);
        return c;
    }

    // Kernel and user time as Windows reports it.
    double ThreadTimesMs() const {
        FILETIME created, exited, kernel, user;
        if (!m_hThread || !GetThreadTimes(m_hThread, &created, &exited, &kernel, &user))
            return -1;
        auto ms = [](const FILETIME& ft) {
            return static_cast<double>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) |
                                       ft.dwLowDateTime) /
                   1e4;
        };
        return ms(kernel) + ms(user);
    }

    // How often the thread has been put on a CPU: re-read through a handle
    // kept open, so sampling asks the wineserver nothing.
    unsigned long long Runs() const {
        char text[128];
        DWORD got = 0;
        OVERLAPPED at{};
        if (!ReadFile(m_hSchedstat, text, sizeof(text) - 1, &got, &at))
            return 0;
        text[got] = '\0';
        char* end = nullptr;
        strtoull(text, &end, 10);
        strtoull(end, &end, 10);
        return strtoull(end, nullptr, 10);
    }

private:
    HANDLE m_hThread = nullptr;
    HANDLE m_hSchedstat = INVALID_HANDLE_VALUE;
    std::string m_task;
};

struct IdleWaker {
    HANDLE hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hThread = nullptr;
    static DWORD WINAPI Run(LPVOID self) {
        while (WaitForSingleObject(static_cast<IdleWaker*>(self)->hStop, kFloorWaitMs) ==
               WAIT_TIMEOUT) {
        }
        return 0;
    }
    ~IdleWaker() {
        SetEvent(hStop);
        if (hThread) {
            WaitForSingleObject(hThread, 2000);
            CloseHandle(hThread);
        }
        CloseHandle(hStop);
    }
};

// Runs the window's messages for ms; each tick calls onTick.
void PumpFor(DWORD ms, DWORD tickMs = INFINITE, const std::function<void()>& onTick = {}) {
    const double end = NowUs() + ms * 1000.0;
    for (;;) {
        const double left = (end - NowUs()) / 1000;
        if (left <= 0)
            break;
        const DWORD wait = std::min<DWORD>(static_cast<DWORD>(left) + 1, tickMs);
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT) == WAIT_TIMEOUT &&
            onTick)
            onTick();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// The notice's first frame as the system's picture loader decodes it.
IPicture* LoadNoticePicture() {
    HINSTANCE hModule = GetModuleHandleA(nullptr);
    HRSRC hRes = FindResourceA(hModule, MAKEINTRESOURCEA(IDR_NOTICE_GIF), "GIF");
    if (!hRes)
        return nullptr;
    const DWORD size = SizeofResource(hModule, hRes);
    HGLOBAL hCopy = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(hCopy), LockResource(LoadResource(hModule, hRes)), size);
    GlobalUnlock(hCopy);
    IStream* stream = nullptr;
    IPicture* picture = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(hCopy, TRUE, &stream))) {
        OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                       reinterpret_cast<void**>(&picture));
        stream->Release();
    }
    return picture;
}

double MedianUs(const std::function<void()>& call) {
    std::vector<double> samples;
    for (int i = 0; i < 53; ++i) {
        const double t0 = NowUs();
        call();
        if (i >= 3)
            samples.push_back(NowUs() - t0);
    }
    return Summarize(samples).median;
}

// What the worker does for a frame, each call timed on its own.
void FrameBreakdown(HWND hControl, HDC hSurface, SIZE size) {
    IPicture* picture = LoadNoticePicture();
    HANDLE hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    double render = 0;
    if (picture) {
        OLE_XSIZE_HIMETRIC w = 0;
        OLE_YSIZE_HIMETRIC h = 0;
        picture->get_Width(&w);
        picture->get_Height(&h);
        render = MedianUs(
            [&] { picture->Render(hSurface, 0, 0, size.cx, size.cy, 0, h, w, -h, nullptr); });
        picture->Release();
    }
    const double invalidate = MedianUs([&] { InvalidateRect(hControl, nullptr, FALSE); });
    const double fill = MedianUs([&] {
        RECT rc{0, 0, size.cx, size.cy};
        HBRUSH hBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        FillRect(hSurface, &rc, hBrush);
        DeleteObject(hBrush);
    });
    const double wait = MedianUs([&] { WaitForSingleObject(hEvent, 0); });
    CloseHandle(hEvent);
    Line("  one frame's calls, each timed alone",
         "Render %.0f us, InvalidateRect %.0f us, fill %.0f us, a wait's round trip %.0f us",
         render, invalidate, fill, wait);
}

} // namespace

void NoticeBench(const BenchOptions& o) {
    Heading("4. The notice animation, playing %d s in the main window's notice control",
            o.noticeSeconds);
    CDialog host(IDD_MORVANE_DIALOG);
    if (!host.Create(IDD_MORVANE_DIALOG, nullptr)) {
        printf("   the main window's template could not be created\n");
        return;
    }
    HWND hControl = host.GetDlgItem(IDC_NOTICE);
    CPictureEx picture;
    picture.BindControl(hControl);
    g_pictureProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hControl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
    if (!picture.LoadFromResource()) {
        printf("   the notice could not be loaded\n");
        return;
    }
    PumpFor(200); // the window's own first paints are not the animation's

    const std::string pid = OwnUnixPid();
    WatchedThread worker, floor;
    IdleWaker idle;
    const bool found = !pid.empty() && worker.AttachToNew(pid, [&] {
        picture.ShowPicture();
    }) && floor.AttachToNew(pid, [&] {
        idle.hThread = CreateThread(nullptr, 0, &IdleWaker::Run, &idle, 0, nullptr);
    });
    Line("notice", "%zu frames, %ld x %ld px", picture.FrameCount(), picture.PictureSize().cx,
         picture.PictureSize().cy);
    if (!found) {
        printf("   could not tell the worker thread from the others\n");
        picture.StopAnimation();
        SetWindowLongPtrA(hControl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pictureProc));
        return;
    }

    // The main thread's Linux id is the process id.
    const std::string uiTask = pid + "/task/" + pid;
    TaskCounters ui0, ui1;
    ReadTaskCounters(uiTask, ui0);
    const TaskCounters w0 = worker.Counters(), f0 = floor.Counters();
    const double times0 = worker.ThreadTimesMs();
    const int paints0 = g_paints;
    const double t0 = NowUs();
    PumpFor(static_cast<DWORD>(o.noticeSeconds) * 1000);
    const double seconds = (NowUs() - t0) / 1e6;
    const TaskCounters w1 = worker.Counters(), f1 = floor.Counters();
    const double times1 = worker.ThreadTimesMs();
    ReadTaskCounters(uiTask, ui1);
    const int paints = g_paints - paints0;

    // Then a while sampled every 10 ms: a thread that polls runs in many
    // slots, one that sleeps until its next frame in about one per frame.
    int workerSlots = 0, floorSlots = 0;
    unsigned long long workerRuns = worker.Runs(), floorRuns = floor.Runs();
    const double s0 = NowUs();
    PumpFor(kSamplingMs, kSlotMs, [&] {
        const unsigned long long w = worker.Runs(), f = floor.Runs();
        workerSlots += w != workerRuns;
        floorSlots += f != floorRuns;
        workerRuns = w;
        floorRuns = f;
    });
    const double sampled = (NowUs() - s0) / 1e6;
    picture.StopAnimation();
    PumpFor(100);
    SetWindowLongPtrA(hControl, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pictureProc));

    const double workerCpu = (w1.cpuMs - w0.cpuMs) / seconds;
    const double workerWakes = static_cast<double>(w1.runs - w0.runs) / seconds;
    Line("paints of the control", "%5.2f per second (%d in %.1f s)", paints / seconds, paints,
         seconds);
    printf("   %-44s %12s %10s %16s\n", "", "CPU", "wakes", "10-ms slots run");
    Line("  worker thread", "%7.3f ms/s %7.1f/s %12.1f/s", workerCpu, workerWakes,
         workerSlots / sampled);
    Line("  floor: a thread waking every 500 ms", "%7.3f ms/s %7.1f/s %12.1f/s",
         (f1.cpuMs - f0.cpuMs) / seconds, static_cast<double>(f1.runs - f0.runs) / seconds,
         floorSlots / sampled);
    Line("  worker CPU per frame", "%7.0f us", paints ? (w1.cpuMs - w0.cpuMs) * 1000 / paints : 0);
    Line("  the same by GetThreadTimes (10 ms steps)", "%7.1f ms in %.0f s", times1 - times0,
         seconds);
    Line("  UI thread (paints, message loop)", "%7.3f ms/s", (ui1.cpuMs - ui0.cpuMs) / seconds);
    FrameBreakdown(hControl, picture.SurfaceDC(), picture.PictureSize());
    Line("goal: well under 1 ms CPU/s (taken as < 0.5)", "%7.3f ms/s: %s", workerCpu,
         Verdict(workerCpu < 0.5));
    const double rate = paints / seconds;
    Line("goal: twice a second, no polling", "%5.2f paints/s, runs in %.1f slots/s: %s", rate,
         workerSlots / sampled,
         Verdict(rate > 1.8 && rate < 2.2 && workerSlots / sampled <= 2 * rate + 1));
}

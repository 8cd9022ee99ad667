// Drives the real morvane.exe from another process, the way a user would:
// its window, its tabs, its pages and boxes. Shared by the whole-program
// tests and the screenshot helper, so it knows nothing of GoogleTest.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr int kPageCount = 5;
constexpr int kTabControl = 1000;
constexpr int kNoticeControl = 1009;

// Where the recorder that stands in for net.exe and regsvr32.exe logs the
// command lines it was started with.
inline constexpr char kRecorderLog[] = "C:\\morvane-recorder.log";

// Copies the recorder over the system folder's net.exe and regsvr32.exe,
// tells Wine to prefer them to its own, and empties the log.
bool InstallRecorder(const std::string& recorder);

// Each page's boxes in template order; a page is known by them.
const std::vector<int>& PageBoxes(int page);

// Calls done until it holds or timeoutMs have passed; true when it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The program as a process of its own, ended by force if still running when
// this goes.
class Process {
public:
    explicit Process(const std::string& exe);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_pi.hProcess != nullptr; }
    // Why it did not start.
    DWORD StartError() const { return m_startError; }
    DWORD Id() const { return m_pi.dwProcessId; }
    bool Ended(DWORD timeoutMs) const;
    std::optional<DWORD> ExitCode() const;

private:
    DWORD m_startError = 0;
    PROCESS_INFORMATION m_pi{};
};

// The main window captioned "Morvane" (of process pid, when not 0), once it
// is visible: FindWindow already sees it inside its initialisation.
HWND WaitForMainWindow(DWORD pid, DWORD timeoutMs);

// SendMessage that gives up after timeoutMs instead of hanging on a stuck
// program.
std::optional<LRESULT> Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                            DWORD timeoutMs = 10000);

// A tab item's rectangle. TCM_GETITEMRECT is not marshalled across
// processes, so the rectangle is written into the program's own memory.
std::optional<RECT> TabItemRect(HWND hTab, int index);

// A real click on a tab item: button down and up at its centre, which makes
// the tab control change the selection and notify its parent.
bool ClickTab(HWND hTab, int index);

// The five pages, in tab order, found by their boxes; null where missing.
std::array<HWND, kPageCount> Pages(HWND hMain);

// Threads of a process now.
int ThreadCount(DWORD pid);

// Processes now running from an executable of this file name.
int ProcessCount(const char* exeName);

SIZE WindowSize(HWND hWnd);

} // namespace e2e

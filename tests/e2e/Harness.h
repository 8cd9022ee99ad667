// What the whole-program tests share: the program to start, the registry as
// they watch it, the log of the commands it started, and a click on a box
// with everything it must change.
#pragma once

#include "e2e/Driver.h"
#include "e2e/Tweaks.h"

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Window sizes compare and print in the tests' expectations.
inline bool operator==(SIZE a, SIZE b) {
    return a.cx == b.cx && a.cy == b.cy;
}
inline void PrintTo(SIZE s, std::ostream* os) {
    *os << s.cx << "x" << s.cy;
}

namespace e2e {

// The notice control once its picture loaded and plays.
constexpr SIZE kNoticePlaying = {115, 185};

// The program under test, as a Windows path.
const std::string& ProgramPath();

// The keys the boxes write, with the probe's key and the keys on the way to
// them; cheap enough to take at every click.
Snapshot Watched();
// Wider: all per-user settings, and the machine-wide software and system
// settings the program could reach.
Snapshot Broad();
// The paths whose entries differ between two snapshots.
std::set<std::string> DifferingPaths(const Snapshot& a, const Snapshot& b);

// The command lines the recorder standing in for net.exe and regsvr32.exe
// has logged.
class CommandLog {
public:
    CommandLog();
    // Waits until `count` lines more than seen so far are logged and no
    // recorder runs any more, then returns the lines not seen yet.
    std::vector<std::string> Next(size_t count, DWORD timeoutMs = 20000);
    std::vector<std::string> All() const;

private:
    size_t m_seen;
};

// Toggles a box with `toggle`, which returns once the box's handler has run,
// and expects the box to show `checked` after it, the registry to differ by
// that cell's changes alone and exactly that cell's commands to be started.
// `watched` is the registry as last seen, and is brought up to date.
void ExpectToggle(HWND hPage, const Box& box, bool checked, CommandLog& log, Snapshot& watched,
                  const std::function<void(HWND hBox)>& toggle);
// The toggle is a BM_CLICK: the handler runs inside the call, on a hidden
// page too.
void ExpectClick(HWND hPage, const Box& box, bool checked, CommandLog& log, Snapshot& watched);

// Every Wine process may write HKLM: a DACL on the probe's key, living only
// in this prefix's running server, makes the program's probe fail for real.
void DenyWritingTheProbeKey();

// "Save && Exit", and the process ends with 0.
void ExpectSaveAndExit(HWND hMain, const Process& program);

// The boxes of all pages that show checked.
std::set<BoxKey> CheckedBoxes(const std::array<HWND, kPageCount>& pages);

} // namespace e2e

// What each of the fifty boxes must do, written down once for every test that
// drives them: the pages in-process and the real program from outside. Values
// are named as the sandbox snapshots name them: "ROOT\key\:name" (the default
// value has the empty name), keys as "ROOT\key\".
#pragma once

#include "support/RegistrySandbox.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using Snapshot = std::map<std::string, RegValue>;
// A value set, a value removed (nullopt), or a key removed with everything
// under it (nullopt at a path ending in \).
using Changes = std::map<std::string, std::optional<RegValue>>;

namespace expect {

// The pages in tab order.
enum Page { General, Services, IExplorer, MediaPlayer, Usability };
constexpr int kPages = 5;

// A program the shell is asked to start, exactly as asked.
struct Command {
    std::string file;
    std::string parameters;
    int show;
};

// Registry contents, stored in an otherwise empty registry, and how the box
// must read at start with them.
struct Reading {
    Snapshot stored;
    bool checked;
};

struct Box {
    int page;
    int id;
    std::string label, tip;
    // How it reads with none of the values any box names.
    bool checkedWhenEmpty = false;
    // Values that together check it, or none. A value under HKCU is read
    // there first, then under HKLM; a value under HKLM is read there alone.
    // Without any one of them, or with one nearly right, it reads unchecked.
    Snapshot checkedBy;
    std::vector<Reading> reads;
    // What a click that checks or unchecks it changes and starts, in order.
    Changes onCheck, onUncheck;
    std::vector<Command> startsOnCheck, startsOnUncheck;

    const Changes& Cell(bool checked) const { return checked ? onCheck : onUncheck; }
    const std::vector<Command>& Starts(bool checked) const {
        return checked ? startsOnCheck : startsOnUncheck;
    }
};

// All fifty, page after page, each page's in template order.
const std::vector<Box>& Boxes();
std::vector<Box> BoxesOf(int page);
const Box& BoxAt(int page, int id);

// The command line that a program started this way sees: Wine's shell starts
// net.exe and regsvr32.exe from the system folder.
std::string CommandLine(const Command& command);

} // namespace expect

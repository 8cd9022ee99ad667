#include "ctl/Tweak.h"

#include "ctl/Words.h"
#include "system/Effects.h"

#include <cstring>

namespace {

const char* State(bool on) {
    return on ? "on" : "off";
}

// What became of a phrase that did not succeed.
std::string Failure(const Outcome& o) {
    switch (o.status) {
    case Outcome::Failed:
        return ErrorText(o.error);
    case Outcome::ExitCode:
        return "exit code " + std::to_string(o.exitCode);
    case Outcome::StillRunning:
        return "still running after " + std::to_string(kProgramWaitMs / 1000) +
               " s; its result is unknown";
    case Outcome::NotOffline:
        return kNotOfflineWords;
    case Outcome::Done:
    case Outcome::WasNotThere:
    case Outcome::Deferred:
        break;
    }
    return {};
}

std::string DataWords(const RegData& data) {
    if (data.type == REG_DWORD && data.bytes.size() == 4) {
        DWORD n;
        memcpy(&n, data.bytes.data(), 4);
        return "DWORD " + std::to_string(n);
    }
    if (data.type == REG_SZ && !data.bytes.empty() && data.bytes.back() == '\0')
        return "SZ \"" + data.bytes.substr(0, data.bytes.size() - 1) + "\"";
    return "type " + std::to_string(data.type) + ", " + std::to_string(data.bytes.size()) +
           " bytes";
}

// The stored value a condition reads, as its read is described: the first
// root whose value ends the search, or the last root's value when none
// before it does.
std::string Decider(const Condition& c) {
    const ValueRead read = ReadOf(c);
    const std::span<const RegRoot> roots = read.Roots();
    const char* name = c.name && *c.name ? c.name : "(default)";
    for (const RegRoot root : roots) {
        bool found = false;
        RegData data;
        if (ReadRegValue(root, c.key, c.name, &found, &data) != ERROR_SUCCESS || !found)
            continue;
        if (read.FallsThrough(data.bytes.size()) && root != roots.back())
            continue;
        return RealKeyName(root, c.key) + " : " + name + " = " + DataWords(data) + " decides";
    }
    std::string words = RealKeyName(roots.front(), c.key) + " : " + name + " is missing";
    if (roots.size() > 1) {
        words += " under ";
        words += RootName(roots.front());
        words += " and ";
        words += RootName(roots.back());
    }
    if (read.type == ValueRead::String)
        return words + ", which reads as empty";
    if (read.missing == NONE)
        return words + ", which never matches";
    return words + ", which reads as " + std::to_string(read.missing);
}

} // namespace

bool ReadsOn(const TweakRow& row) {
    return Holds(row.checkedWhen);
}

std::string CurrentPreset() {
    std::string out = "# morvanectl preset: name = on | off, one tweak a line.\r\n";
    for (const TweakTable& table : TweakTables()) {
        out += "\r\n# " + std::string(table.tab) + "\r\n";
        for (const TweakRow& row : table.rows)
            out += std::string(row.name) + " = " + (Holds(row.checkedWhen) ? "on" : "off") + "\r\n";
    }
    return out;
}

std::string WhatDecides(const TweakRow& row) {
    // Reading off, the first condition that fails decides; reading on, all
    // of them do.
    std::string words;
    for (const Condition& c : row.checkedWhen) {
        if (!Holds(c))
            return Decider(c);
        words += (words.empty() ? "" : "; ") + Decider(c);
    }
    return words;
}

std::string Indented(const std::string& output) {
    std::string text;
    size_t begin = 0;
    while (begin < output.size()) {
        size_t end = output.find('\n', begin);
        if (end == std::string::npos)
            end = output.size();
        size_t stop = end;
        while (stop > begin && output[stop - 1] == '\r')
            --stop;
        text += "    " + output.substr(begin, stop - begin) + "\n";
        begin = end + 1;
    }
    return text;
}

namespace {

// Says what became of each step. False when one failed or was left out.
bool Report(Console& c, Executor& executor, const TweakRow& row, bool on, const Steps& steps) {
    bool allDone = true;
    for (const Step& s : steps) {
        const std::string words = EffectWords(s.effect, executor.SystemFolder());
        if (!s.performed) {
            c.Error() << row.name << " " << State(on) << ": not done after that failure: " << words
                      << "\n";
            continue;
        }
        const Outcome& o = s.outcome;
        if (o.Succeeded()) {
            c.out << "  done: " << words
                  << (o.status == Outcome::WasNotThere ? " (was not there)" : "")
                  << (o.ended ? ": exit code 0" : "") << "\n";
            c.out.Lines(Indented(o.output));
            continue;
        }
        allDone = false;
        c.Error() << row.name << " " << State(on) << ": " << words << ": FAILED: " << Failure(o)
                  << "\n";
        c.err.Lines(Indented(o.output));
    }
    return allDone;
}

} // namespace

SetResult SetTweak(Console& c, Executor& executor, const TweakRow& row, bool on, SetMode mode) {
    if (!mode.always && ReadsOn(row) == on) {
        c.out << row.name << " = " << State(on) << ": unchanged\n";
        return SetResult::Unchanged;
    }
    const Cell& cell = on ? row.onCheck : row.onUncheck;
    c.out << row.name << " = " << State(on) << (mode.dryRun ? " (dry run)" : "") << "\n";
    if (mode.dryRun) {
        for (const Effect& e : EffectsOf(cell))
            c.out << "  " << EffectWords(e, executor.SystemFolder()) << "\n";
        return SetResult::Changed;
    }
    const bool allDone =
        Report(c, executor, row, on, executor.Perform(cell, Policy::StopAtFailure));
    // Some cells delete a per-user value and leave a machine-wide one to decide.
    if (allDone && ReadsOn(row) != on) {
        c.Error() << row.name << " " << State(on) << ": applied, but still reads " << State(!on)
                  << ": " << WhatDecides(row) << "\n";
        return SetResult::Failed;
    }
    return allDone ? SetResult::Changed : SetResult::Failed;
}

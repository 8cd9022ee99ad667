#include "ctl/commands/Tweak.h"

#include "ctl/output/Words.h"
#include "system/Effects.h"
#include "system/OfflineImage.h"

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

// The line that says a step failed, or that it was left out after that.
std::string StepFailure(Executor& executor, const TweakOutcome& o, const Step& s) {
    const std::string head = std::string(o.row->name) + " " + State(o.on) + ": ";
    const std::string words = EffectWords(s.effect, executor.SystemFolder());
    if (!s.performed)
        return head +
               (o.offlineRefused ? "not done in an offline image: "
                                 : "not done after that failure: ") +
               words;
    return head + words + ": FAILED: " + Failure(s.outcome);
}

std::string StillReads(const TweakOutcome& o) {
    return std::string(o.row->name) + " " + State(o.on) + ": applied, but still reads " +
           State(!o.on) + ": " + o.decides;
}

void SayStep(Console& c, Executor& executor, const TweakOutcome& o, const Step& s) {
    const Outcome& r = s.outcome;
    if (s.performed && r.status == Outcome::Deferred) {
        c.out << "  deferred: " << EffectWords(s.effect, executor.SystemFolder()) << ": "
              << kDeferredWords << "\n";
        return;
    }
    if (s.performed && r.Succeeded()) {
        c.out << "  done: " << EffectWords(s.effect, executor.SystemFolder())
              << (r.status == Outcome::WasNotThere ? " (was not there)" : "")
              << (r.ended ? ": exit code 0" : "") << "\n";
        c.out.Lines(Indented(r.output));
        return;
    }
    c.Error() << StepFailure(executor, o, s) << "\n";
    if (s.performed)
        c.err.Lines(Indented(r.output));
}

// A dry run's steps, none performed; in an offline image each program run
// with what it would become there, and a cell that needs the running system
// failed.
TweakOutcome Planned(TweakOutcome o, const Cell& cell) {
    for (const Effect& e : EffectsOf(cell)) {
        Step& step = o.steps.emplace_back(Step{e});
        if (e.kind == Effect::Run && OfflineImageOpen())
            step.outcome = OfflineOutcome(e);
        o.offlineRefused = o.offlineRefused || step.outcome.status == Outcome::NotOffline;
    }
    if (o.offlineRefused)
        o.result = SetResult::Failed;
    return o;
}

} // namespace

TweakOutcome SetTweak(Executor& executor, const TweakRow& row, bool on, SetMode mode) {
    TweakOutcome o{.row = &row, .on = on, .before = ReadsOn(row), .dryRun = mode.dryRun};
    if (!mode.always && o.before == on)
        return o;
    const Cell& cell = on ? row.onCheck : row.onUncheck;
    o.result = SetResult::Changed;
    if (mode.dryRun)
        return Planned(std::move(o), cell);
    o.steps = executor.Perform(cell, Policy::StopAtFailure);
    for (const Step& s : o.steps) {
        o.offlineRefused = o.offlineRefused || s.outcome.status == Outcome::NotOffline;
        if (!s.performed || !s.outcome.Succeeded())
            o.result = SetResult::Failed;
    }
    // Some cells delete a per-user value and leave a machine-wide one to decide.
    if (o.result == SetResult::Changed && ReadsOn(row) != on) {
        o.readsOther = true;
        o.decides = WhatDecides(row);
        o.result = SetResult::Failed;
    }
    return o;
}

void SayOutcome(Console& c, Executor& executor, const TweakOutcome& o) {
    const char* name = o.row->name;
    if (o.result == SetResult::Unchanged) {
        c.out << name << " = " << State(o.on) << ": unchanged\n";
        return;
    }
    c.out << name << " = " << State(o.on) << (o.dryRun ? " (dry run)" : "") << "\n";
    for (const Step& s : o.steps) {
        if (o.dryRun)
            c.out << "  " << EffectWords(s.effect, executor.SystemFolder())
                  << (s.outcome.status == Outcome::Deferred ? std::string(": ") + kDeferredWords
                      : s.outcome.status == Outcome::NotOffline
                          ? std::string(": ") + kNotOfflineWords
                          : std::string())
                  << "\n";
        else
            SayStep(c, executor, o, s);
    }
    if (o.readsOther)
        c.Error() << StillReads(o) << "\n";
}

std::string FailureWords(Executor& executor, const TweakOutcome& o) {
    // A step that failed says more than those left out for it.
    for (const bool performed : {true, false})
        for (const Step& s : o.steps)
            if (s.performed == performed && !s.outcome.Succeeded())
                return StepFailure(executor, o, s);
    return o.readsOther ? StillReads(o) : std::string();
}

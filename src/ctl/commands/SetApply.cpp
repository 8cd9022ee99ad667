// set and apply: tweaks set as clicks on their boxes set them, named on the
// command line or read from a preset, over every scope of the run.
#include "ctl/formats/Choices.h"
#include "ctl/ExitCodes.h"
#include "ctl/formats/Files.h"
#include "ctl/keep/Kept.h"
#include "ctl/commands/Tweak.h"
#include "ctl/scopes/Whose.h"
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"
#include "ctl/scopes/Scopes.h"

namespace {

using Changes = std::vector<std::pair<const TweakRow*, bool>>;

constexpr Option kBackupTo{"--backup", "FILE.reg",
                           "the backup's file (else morvane-backup-DATE-TIME.reg here)"};
constexpr Option kApplyAll{"--all", nullptr, "sets every line, also those that hold already"};
constexpr Option kApplyForce{"--force", nullptr, nullptr, &kApplyAll};

// The NAME on|off pairs of set; false, and said why, for a bad one.
bool ReadChanges(Console& c, const Arguments& a, Changes* changes) {
    Choices choices;
    for (size_t i = 0; i < a.words.size(); i += 2) {
        bool on = false;
        std::string problem;
        const TweakRow* row = choices.Read(a.words[i], a.words[i + 1],
                                           "as argument " + std::to_string(i + 1), &on, &problem);
        if (!row) {
            c.Error() << problem << "\n";
            return false;
        }
        changes->emplace_back(row, on);
    }
    return true;
}

// The scopes of the run; false, and said why, when it must not go on. Run
// as LocalSystem on its own profile, per-user changes are refused.
bool MakeScopes(Console& c, const Arguments& a, const Changes& changes, Scopes* scopes, int* code) {
    *code = kSomeFailed;
    if (!scopes->Make(c, a.allUsers))
        return false;
    *code = kBadInput;
    const std::string why = scopes->Many() ? std::string() : PerUserRefusal(changes);
    if (!why.empty())
        c.Error() << why << "\n";
    return why.empty();
}

// One run over the scopes: its counts, and the kept log's lines when the
// preset is a kept one.
struct Run {
    Console& c;
    const Scopes& scopes;
    SetMode mode;
    std::string kept;                 // the kept preset's name, or empty
    std::string stamp = LocalStamp(); // one time for every line of the run
    Executor executor{Executor::StartAndWait};
    size_t count[3] = {};
    std::vector<KeptLogLine> log;

    size_t Count(SetResult r) const { return count[static_cast<int>(r)]; }
    void Log(const std::string& profile, const std::string& tweak, const std::string& before,
             const std::string& after) {
        if (!kept.empty())
            log.push_back({stamp, kept, profile, tweak, before, after});
    }
    void Refused(const Scope& s, const std::string& why) {
        SayRefused(c, *s.profile, why);
        Log(s.profile->name, "-", "-", "failed: " + why);
    }
    void Set(const Scope& s, const Changes& changes);
    // What the run would change, read without changing anything.
    size_t Pending(const Changes& changes) const;
};

void Run::Set(const Scope& s, const Changes& changes) {
    if (scopes.Many())
        c.out << s.Heading() << "\n";
    const std::string profile = s.profile ? s.profile->name : "machine-wide";
    for (const auto& [row, on] : changes) {
        if (!s.Covers(*row))
            continue;
        const TweakOutcome o = SetTweak(executor, *row, on, mode);
        SayOutcome(c, executor, o);
        ++count[static_cast<int>(o.result)];
        if (mode.dryRun || o.result == SetResult::Unchanged)
            continue;
        Log(profile, row->name, o.before ? "on" : "off",
            o.result == SetResult::Changed ? (on ? "on" : "off")
                                           : "failed: " + FailureWords(executor, o));
    }
}

size_t Run::Pending(const Changes& changes) const {
    size_t n = 0;
    scopes.Each(
        [&](const Scope& s) {
            for (const auto& [row, on] : changes)
                n += s.Covers(*row) && (mode.always || ReadsOn(*row) != on);
        },
        [](const Scope&, const std::string&) {});
    return n;
}

int Set(Console& c, const Arguments& a) {
    Changes changes;
    Scopes scopes;
    int code = kBadInput;
    if (!ReadChanges(c, a, &changes) || !MakeScopes(c, a, changes, &scopes, &code))
        return code;
    Run run{c, scopes, {.dryRun = a.Has(kDryRun)}};
    const size_t refused =
        scopes.Each([&](const Scope& s) { run.Set(s, changes); },
                    [&](const Scope& s, const std::string& why) { run.Refused(s, why); });
    if (const size_t failed = run.Count(SetResult::Failed))
        c.Error() << failed
                  << (scopes.Many() ? std::string() : " of " + std::to_string(changes.size()))
                  << " tweaks had failures\n";
    return run.Count(SetResult::Failed) || refused ? kSomeFailed : kDone;
}

// The backup before the first change: false, with nothing applied, when it
// could not be written. A kept preset's run backs up into the kept backups'
// folder and keeps the newest there.
bool BackUp(Run& run, const std::string& backup) {
    Console& c = run.c;
    if (run.mode.dryRun) {
        const std::string name = backup.empty() ? LocalStamp(kBackupName) + ".reg" : backup;
        c.out << "Would write the backup"
              << (backup.empty() && run.scopes.Many() ? "" : " to " + name) << "\n";
        return true;
    }
    const std::string folder = run.kept.empty() ? "" : KeptBackupFolder();
    std::string written, failure = folder.empty() ? "" : MakeDataFolder(folder);
    if (!failure.empty())
        c.Error() << failure << "\n";
    if (failure.empty() && WriteBackup(c, run.scopes, backup, folder, &written, &failure)) {
        if (!folder.empty())
            PruneBackups(folder, kKeptBackups, written);
        return true;
    }
    c.Error() << "nothing was applied\n";
    run.Log("-", "-", "-", "failed: no backup: " + failure);
    if (const std::string problem = AppendKeptLog(run.log); !problem.empty())
        c.Error() << problem << "\n";
    return false;
}

void ApplySummary(const Run& run, const std::string& path, size_t lines, size_t refused) {
    const bool dryRun = run.mode.dryRun;
    Writer& out = run.c.out;
    out << (dryRun ? "Would apply " : "Applied ");
    if (run.scopes.Many()) {
        const size_t profiles = run.scopes.Profiles().size();
        out << path << " to the machine and " << profiles - refused << " of " << profiles
            << " profiles: ";
    } else {
        out << lines << " tweaks from " << path << ": ";
    }
    out << run.Count(SetResult::Changed) << (dryRun ? " would change, " : " changed, ")
        << run.Count(SetResult::Unchanged) << " unchanged";
    if (!dryRun || run.scopes.Many() || run.Count(SetResult::Failed))
        out << ", " << run.Count(SetResult::Failed) << " failed";
    out << "\n";
}

int Apply(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    // A kept preset's run is LocalSystem's over every profile: it uses
    // nothing others can change.
    if (const std::string why = a.allUsers ? KeptRunProblem(path) : ""; !why.empty()) {
        c.Error() << why << "; nothing was applied\n";
        return kBadInput;
    }
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, path, "nothing was applied", &lines); code != kDone)
        return code;
    Changes changes;
    for (const PresetLine& line : lines)
        changes.emplace_back(line.row, line.on);
    Scopes scopes;
    if (int code; !MakeScopes(c, a, changes, &scopes, &code))
        return code;
    const std::string backup = a.Value(kBackupTo);
    const bool dryRun = a.Has(kDryRun);
    // Without a dry run a single scope's backup refuses the file when written.
    if ((dryRun || scopes.Many()) && !backup.empty() && FileExists(backup)) {
        c.Error() << backup << " exists already; " << kBackupRefusal << "\n";
        return kBadInput;
    }
    Run run{c,
            scopes,
            {.dryRun = dryRun, .always = a.Has(kApplyAll)},
            scopes.Many() ? KeptPresetName(path) : ""};
    // Over every profile only what will change is backed up first.
    const bool pending = !scopes.Many() || run.Pending(changes);
    if (pending && !BackUp(run, backup))
        return kBadInput;
    if (!pending)
        c.out << "Nothing to change: no backup written\n";
    const size_t refused =
        scopes.Each([&](const Scope& s) { run.Set(s, changes); },
                    [&](const Scope& s, const std::string& why) { run.Refused(s, why); });
    ApplySummary(run, path, lines.size(), refused);
    if (const std::string problem = AppendKeptLog(run.log); !problem.empty()) {
        c.Error() << problem << "\n";
        return kSomeFailed;
    }
    return run.Count(SetResult::Failed) || refused ? kSomeFailed : kDone;
}

} // namespace

// clang-format off
const Command kSetCommand{"set", "NAME on|off", Arity::Pairs, {&kDryRun},
    "sets tweaks as a click on their boxes does", Set, true, true, true};
const Command kApplyCommand{"apply", "PRESET", Arity::One, {&kBackupTo, &kDryRun, &kApplyAll, &kApplyForce},
    "checks a preset, backs up, then sets the tweaks\nthat differ (all of them with --all)", Apply, true,
    true, true};
// clang-format on

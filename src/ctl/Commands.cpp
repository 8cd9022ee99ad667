#include "ctl/Commands.h"

#include "ctl/AllUsers.h"
#include "ctl/Backup.h"
#include "ctl/BackupCoverage.h"
#include "ctl/Choices.h"
#include "ctl/CommandLine.h"
#include "ctl/Console.h"
#include "ctl/Export.h"
#include "ctl/FileWriting.h"
#include "ctl/Files.h"
#include "ctl/Help.h"
#include "ctl/Keep.h"
#include "ctl/Kept.h"
#include "ctl/MachineLock.h"
#include "ctl/Pending.h"
#include "ctl/Preset.h"
#include "ctl/ProfileWalk.h"
#include "ctl/Reference.h"
#include "ctl/RegFile.h"
#include "ctl/Text.h"
#include "ctl/Tweak.h"
#include "ctl/Whose.h"
#include "ctl/Words.h"
#include "system/Effects.h"
#include "system/Shell.h"
#include "system/UserHive.h"
#include "tweaks/Tweaks.h"
#include "version.h"

#include <algorithm>
#include <cstdio>

namespace {

int Usage(Console& c, const std::string& problem) {
    c.Error() << problem << "\n";
    c.err << "Try \"morvanectl --help\".\n";
    return kBadInput;
}

constexpr Option kJson{"--json", nullptr, "a JSON array of objects, one a tweak"};
constexpr Option kDryRun{"--dry-run", nullptr, "says what it would do, and changes nothing"};
constexpr Option kBackupTo{"--backup", "FILE.reg",
                           "the backup's file (else morvane-backup-DATE-TIME.reg here)"};
constexpr Option kRestoreDryRun{"--dry-run", nullptr,
                                "lists what the restore would change, and changes nothing"};
constexpr Option kForce{"--force", nullptr, "replaces a file that exists already"};
constexpr Option kApplyAll{"--all", nullptr, "sets every line, also those that hold already"};
constexpr Option kApplyForce{"--force", nullptr, nullptr, &kApplyAll};

int List(Console& c, const Arguments& a) {
    if (a.Has(kJson)) {
        c.out << "[";
        const char* separator = "\n";
        for (const TweakTable& table : TweakTables())
            for (const TweakRow& row : table.rows) {
                c.out << separator << "  {\"name\": " << JsonText(row.name)
                      << ", \"page\": " << JsonText(table.tab)
                      << ", \"label\": " << JsonText(row.label)
                      << ", \"state\": " << (Holds(row.checkedWhen) ? "\"on\"" : "\"off\"")
                      << ", \"rights\": " << JsonText(Rights(row)) << "}";
                separator = ",\n";
            }
        c.out << "\n]\n";
        return kDone;
    }
    for (const TweakTable& table : TweakTables()) {
        c.out << table.tab << "\n";
        for (const TweakRow& row : table.rows) {
            char line[256];
            snprintf(line, sizeof(line), "  %-3s %-13s %-45s %s\n",
                     Holds(row.checkedWhen) ? "on" : "off", Rights(row), row.name, row.label);
            c.out << line;
        }
    }
    return kDone;
}

int Show(Console& c, const Arguments& a) {
    std::string problem;
    const TweakRow* row = ReadTweakName(a.words[0], &problem);
    if (!row) {
        c.Error() << problem << "\n";
        return kBadInput;
    }
    c.out << row->name << "\n"
          << "  Page:     " << PageOf(*row) << "\n"
          << "  Label:    " << row->label << "\n"
          << "  Tooltip:  " << row->tooltip << "\n"
          << "  State:    " << (Holds(row->checkedWhen) ? "on" : "off") << "\n"
          << "  Rights:   " << Rights(*row) << "\n"
          << "  On when:\n";
    for (const Condition& condition : row->checkedWhen)
        c.out << "    " << ConditionWords(condition) << "\n";
    for (const auto& [title, cell] : {std::pair{"On", &row->onCheck}, {"Off", &row->onUncheck}}) {
        c.out << "  " << title << ":\n";
        for (const Effect& e : EffectsOf(*cell))
            c.out << "    " << EffectWords(e, kSystemFolderWords) << "\n";
    }
    return kDone;
}

// The NAME on|off pairs of set; false, and said why, for a bad one.
bool ReadChanges(Console& c, const Arguments& a,
                 std::vector<std::pair<const TweakRow*, bool>>* changes) {
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

int Set(Console& c, const Arguments& a) {
    std::vector<std::pair<const TweakRow*, bool>> changes;
    if (!ReadChanges(c, a, &changes))
        return kBadInput;
    if (const std::string why = PerUserRefusal(changes); !why.empty()) {
        c.Error() << why << "\n";
        return kBadInput;
    }
    Executor executor(Executor::StartAndWait);
    int failed = 0;
    for (const auto& [row, on] : changes)
        failed += SetTweak(c, executor, *row, on, {.dryRun = a.Has(kDryRun)}) == SetResult::Failed;
    if (failed) {
        c.Error() << failed << " of " << changes.size() << " tweaks had failures\n";
        return kSomeFailed;
    }
    return kDone;
}

constexpr char kBackupRefusal[] = "a backup never replaces a file";

constexpr char kBackupName[] = "morvane-backup-%04u%02u%02u-%02u%02u%02u-%03u";

// The backup as a new file, or under a name of its own beside the others
// when path is empty; false (and said why) when it could not be made.
bool WriteBackup(Console& c, const std::string& path) {
    std::wstring text;
    std::string error, written = path;
    if (!BackupText(LocalStamp(), &text, &error)) {
        c.Error() << "no backup made: " << error << "\n";
        return false;
    }
    if (!path.empty()) {
        if (!WriteOut(c, path, FileBytes(text), false, kBackupRefusal))
            return false;
    } else if (const DWORD status =
                   WriteNewNumberedFile(LocalStamp(kBackupName), ".reg", FileBytes(text), &written);
               status != ERROR_SUCCESS) {
        c.Error() << "cannot write " << written << ": " << ErrorText(status) << "\n";
        return false;
    }
    c.out << "Backup written to " << written << "\n";
    return true;
}

int Backup(Console& c, const Arguments& a) {
    return WriteBackup(c, a.words[0]) ? kDone : kBadInput;
}

// The key a per-user change is really made in: HKCU while the caller's
// own, else the user's hive under HKEY_USERS.
std::string NamedForUser(std::string change) {
    if (const size_t at = change.find("HKCU\\"); at != std::string::npos)
        change.replace(at, 4, ShortUserRoot());
    return change;
}

int RestoreDryRun(Console& c, const std::string& path, const std::vector<RegFileEntry>& entries) {
    const std::vector<std::string> changes = PendingChanges(entries);
    if (changes.empty())
        c.out << "Restoring " << path << " would change nothing\n";
    else
        c.out << "Restoring " << path << " would make " << changes.size() << " changes:\n";
    for (const std::string& change : changes)
        c.out << "  " << NamedForUser(change) << "\n";
    return kDone;
}

// reg.exe's exit code alone does not tell that every value was written:
// what the file holds is read back, as the dry run compares it.
// The file it imports is made of the checked entries, each per-user key
// under the key that HKEY_CURRENT_USER stands for in this run.
int Import(Console& c, const std::string& path, const std::vector<RegFileEntry>& entries) {
    Coverage roots;
    roots.userRoot = Wide(CurrentUserKeyText());
    std::wstring copy;
    if (const DWORD status = WriteTemporaryFile(FileBytes(EntriesText(roots, entries)), &copy);
        status != ERROR_SUCCESS) {
        c.Error() << "cannot write a temporary copy of " << path << ": " << ErrorText(status)
                  << "; nothing was restored\n";
        return kBadInput;
    }
    c.out << "Running reg.exe import of " << path << "\n";
    c.out.Flush();
    const RunResult r =
        g_pfnRunAndWaitWide("reg.exe", L"import \"" + copy + L"\"", SW_HIDE, kProgramWaitMs);
    DeleteFileW(copy.c_str());
    c.out.Lines(Indented(r.output));
    if (r.outcome == RunResult::NotStarted) {
        c.Error() << "reg.exe did not start: " << ErrorText(r.error) << "\n";
        return kSomeFailed;
    }
    if (r.outcome == RunResult::StillRunning) {
        c.Error() << "reg.exe import did not end within " << kProgramWaitMs / 1000 << " s\n";
        return kSomeFailed;
    }
    const std::vector<std::string> left = PendingChanges(entries);
    if (r.exitCode == 0 && left.empty()) {
        c.out << "Restored from " << path << " (reg.exe exit code 0)\n";
        return kDone;
    }
    if (r.exitCode != 0)
        c.Error() << "reg.exe import failed with exit code " << r.exitCode << "\n";
    if (!left.empty())
        c.Error() << "after reg.exe import (exit code " << r.exitCode << "), " << left.size()
                  << " values still differ from " << path << ":\n";
    for (const std::string& change : left)
        c.Error() << "  not restored: " << NamedForUser(change) << "\n";
    return kSomeFailed;
}

// The whole file read and checked against `coverage`: kDone, or kBadInput
// with its first offending line said.
int ReadChecked(Console& c, const std::string& path, const Coverage& coverage,
                std::vector<RegFileEntry>* entries) {
    std::string bytes;
    if (const DWORD status = ReadWholeFile(path, &bytes); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "\n";
        return kBadInput;
    }
    RegFileFault fault;
    if (!ReadBackup(bytes, coverage, entries, &fault)) {
        c.Error() << path << ": line " << fault.line << ": " << fault.what << "\n";
        c.Error() << "nothing was restored\n";
        return kBadInput;
    }
    return kDone;
}

// Checks the whole file before anything of it is imported, and imports
// exactly what was checked, from a copy of its own.
int Restore(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    std::vector<RegFileEntry> entries;
    if (const int code = ReadChecked(c, path, BackupCoverage(), &entries); code != kDone)
        return code;
    if (const std::string why = RestoreRefusal(entries); !why.empty()) {
        c.Error() << why << "; nothing was restored\n";
        return kBadInput;
    }
    if (a.Has(kRestoreDryRun))
        return RestoreDryRun(c, path, entries);
    return Import(c, path, entries);
}

int Save(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    if (!WriteOut(c, path, CurrentPreset(), a.Has(kForce), "save --force replaces it"))
        return kBadInput;
    c.out << "Preset written to " << path << "\n";
    return kDone;
}

// The preset's lines, checked whole: kDone, or kBadInput with every fault said.
int ReadPreset(Console& c, const std::string& path, const char* refusal,
               std::vector<PresetLine>* lines) {
    std::string text;
    if (const DWORD status = ReadWholeFile(path, &text); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "; " << refusal << "\n";
        return kBadInput;
    }
    std::vector<std::string> errors;
    size_t unshown = 0;
    ParsePreset(text, lines, &errors, &unshown);
    if (!errors.empty()) {
        for (const std::string& e : errors)
            c.Error() << path << ": " << e << "\n";
        if (unshown)
            c.Error() << path << ": \xE2\x80\xA6 and " << unshown << " more\n";
        c.Error() << refusal << "\n";
        return kBadInput;
    }
    // A preset of comments only is a deployment gone wrong, not a wish for
    // nothing: check must not read it as compliant.
    if (lines->empty()) {
        c.Error() << path << " names no tweak; " << refusal << "\n";
        return kBadInput;
    }
    return kDone;
}

int Apply(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    const bool dryRun = a.Has(kDryRun);
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, path, "nothing was applied", &lines); code != kDone)
        return code;
    std::vector<std::pair<const TweakRow*, bool>> changes;
    for (const PresetLine& line : lines)
        changes.emplace_back(line.row, line.on);
    if (const std::string why = PerUserRefusal(changes); !why.empty()) {
        c.Error() << why << "\n";
        return kBadInput;
    }
    // Empty: a name of its own, never one that is taken.
    const std::string backup = a.Value(kBackupTo);
    if (dryRun && !backup.empty() && FileExists(backup)) {
        c.Error() << backup << " exists already; " << kBackupRefusal << "\n";
        return kBadInput;
    }
    if (dryRun)
        c.out << "Would write the backup to "
              << (backup.empty() ? LocalStamp(kBackupName) + ".reg" : backup) << "\n";
    else if (!WriteBackup(c, backup)) {
        c.Error() << "nothing was applied\n";
        return kBadInput;
    }
    Executor executor(Executor::StartAndWait);
    size_t count[3] = {};
    for (const PresetLine& line : lines)
        ++count[static_cast<int>(SetTweak(c, executor, *line.row, line.on,
                                          {.dryRun = dryRun, .always = a.Has(kApplyAll)}))];
    const size_t changed = count[static_cast<int>(SetResult::Changed)];
    const size_t unchanged = count[static_cast<int>(SetResult::Unchanged)];
    const size_t failed = count[static_cast<int>(SetResult::Failed)];
    if (dryRun)
        c.out << "Would apply " << lines.size() << " tweaks from " << path << ": " << changed
              << " would change, " << unchanged << " unchanged\n";
    else
        c.out << "Applied " << lines.size() << " tweaks from " << path << ": " << changed
              << " changed, " << unchanged << " unchanged, " << failed << " failed\n";
    return failed ? kSomeFailed : kDone;
}

// Compares the machine with a preset and changes nothing.
int Check(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, path, "nothing was checked", &lines); code != kDone)
        return code;
    size_t differ = 0;
    const bool json = a.Has(kJson);
    if (json)
        c.out << "[";
    const char* separator = "\n";
    for (const PresetLine& line : lines) {
        const bool current = ReadsOn(*line.row);
        const bool holds = current == line.on;
        differ += !holds;
        if (json) {
            c.out << separator << "  {\"name\": " << JsonText(line.row->name)
                  << ", \"wanted\": " << (line.on ? "\"on\"" : "\"off\"")
                  << ", \"current\": " << (current ? "\"on\"" : "\"off\"")
                  << ", \"holds\": " << (holds ? "true" : "false") << "}";
            separator = ",\n";
        } else if (!holds) {
            c.out << line.row->name << ": " << (current ? "on" : "off") << ", wanted "
                  << (line.on ? "on" : "off") << ": " << WhatDecides(*line.row) << "\n";
        }
    }
    if (json)
        c.out << (lines.empty() ? "]\n" : "\n]\n");
    else if (differ)
        c.out << differ << " of " << lines.size() << " tweaks differ from " << path << "\n";
    else
        c.out << "All " << lines.size() << " tweaks of " << path << " hold\n";
    return differ ? kDiffers : kDone;
}

int Export(Console& c, const Arguments& a) {
    if (const std::string problem = ExportProblem(a.words); !problem.empty())
        return Usage(c, problem);
    ExportTarget target;
    if (!a.hive.empty()) {
        target.kind = ExportTarget::HiveFile;
        target.file = a.hive;
    } else if (!a.user.empty()) {
        target.kind = ExportTarget::User;
        if (std::string error; !ResolveUserSid(a.user, &target.sid, &error)) {
            c.Error() << error << "\n";
            return kBadInput;
        }
    }
    if (const std::string problem = ExportTextProblem(a.words, target); !problem.empty()) {
        c.Error() << problem << "\n";
        return kBadInput;
    }
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[1], "nothing was exported", &lines); code != kDone)
        return code;
    std::string text, messages;
    const int code = ExportCommand(a.words, lines, target, a.Has(kForce), &text, &messages);
    c.out.Lines(text);
    c.out.Flush();
    c.err.Lines(messages);
    return code;
}

int Reference(Console& c, const Arguments&) {
    c.out.Lines(ReferenceText());
    return kDone;
}

// The --all-users forms: the same checks of their input, then every profile.
int ListEvery(Console& c, const Arguments& a) {
    return ListAllUsers(c, a.Has(kJson));
}

int SetEvery(Console& c, const Arguments& a) {
    std::vector<std::pair<const TweakRow*, bool>> changes;
    if (!ReadChanges(c, a, &changes))
        return kBadInput;
    return SetAllUsers(c, changes, a.Has(kDryRun));
}

int BackupEvery(Console& c, const Arguments& a) {
    return BackupAllUsers(c, a.words[0]);
}

// The machine-wide keys once, then those of each profile of the machine
// that the file names HKEY_USERS\<SID>, with HKEY_CURRENT_USER redirected
// to it (its file loaded when its user is not signed in).
int RestoreEvery(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    std::erase_if(profiles, [](const Profile& p) { return p.sid.empty(); });
    Coverage coverage = BackupCoverage();
    for (const Profile& p : profiles)
        coverage.profileRoots.push_back(L"HKEY_USERS\\" + Wide(p.sid));
    std::vector<RegFileEntry> entries;
    if (const int code = ReadChecked(c, path, coverage, &entries); code != kDone)
        return code;
    // The machine-wide entries first, then each profile's.
    std::vector<std::vector<RegFileEntry>> parts(profiles.size() + 1);
    for (const RegFileEntry& e : entries)
        parts[e.root == HKCU ? e.profile + 1 : 0].push_back(e);
    int code = kDone;
    auto restore = [&](const std::string& heading, const std::vector<RegFileEntry>& part) {
        c.out << heading << "\n";
        code = std::max(code, a.Has(kRestoreDryRun) ? RestoreDryRun(c, path, part)
                                                    : Import(c, path, part));
    };
    restore("Machine-wide", parts[0]);
    std::vector<Profile> named;
    for (size_t n = 0; n < profiles.size(); ++n)
        if (!parts[n + 1].empty())
            named.push_back(profiles[n]);
    const size_t refused = Walk(
        named,
        [&](const Profile& p) {
            for (size_t n = 0; n < profiles.size(); ++n)
                if (profiles[n].sid == p.sid)
                    restore(Heading(p), parts[n + 1]);
        },
        [&](const Profile& p, const std::string& why) { SayRefused(c, p, why); });
    return refused ? kSomeFailed : code;
}

int CheckEvery(Console& c, const Arguments& a) {
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[0], "nothing was checked", &lines); code != kDone)
        return code;
    return CheckAllUsers(c, a.words[0], lines, a.Has(kJson));
}

int ApplyEvery(Console& c, const Arguments& a) {
    // A kept preset's run is LocalSystem's: it uses nothing others can change.
    if (const std::string why = KeptRunProblem(a.words[0]); !why.empty()) {
        c.Error() << why << "; nothing was applied\n";
        return kBadInput;
    }
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[0], "nothing was applied", &lines); code != kDone)
        return code;
    const std::string backup = a.Value(kBackupTo);
    if (!backup.empty() && FileExists(backup)) {
        c.Error() << backup << " exists already; " << kBackupRefusal << "\n";
        return kBadInput;
    }
    return ApplyAllUsers(c, a.words[0], lines,
                         {.dryRun = a.Has(kDryRun), .always = a.Has(kApplyAll), .backup = backup});
}

constexpr Option kKeepList{"--list", nullptr, "each kept preset, its triggers and its last run"};
constexpr Option kKeepRemove{"--remove", "NAME", "removes the task and the kept copy of NAME"};
constexpr Option kKeepRemoveAll{"--remove-all", nullptr,
                                "removes every kept preset, as uninstalling does"};

// keep PRESET, keep --list, keep --remove NAME or keep --remove-all: one of them.
int Keep(Console& c, const Arguments& a) {
    // The task works on every profile; a profile named here would be ignored.
    if (!a.user.empty() || !a.hive.empty())
        return Usage(c, "keep takes no --user or --hive");
    const bool list = a.Has(kKeepList), remove = a.Has(kKeepRemove);
    const bool removeAll = a.Has(kKeepRemoveAll);
    if (list + remove + removeAll + !a.words.empty() != 1)
        return Usage(c, "keep takes one PRESET, --list, --remove NAME or --remove-all");
    if (list)
        return ListKept(c);
    if (remove)
        return RemoveKept(c, a.Value(kKeepRemove));
    if (removeAll)
        return RemoveAllKept(c);
    std::vector<PresetLine> lines;
    if (const int code = ReadPreset(c, a.words[0], "nothing was registered", &lines); code != kDone)
        return code;
    return KeepPreset(c, a.words[0]);
}

// clang-format off
const Command kCommands[] = {
    {"list", "", Arity::None, {&kJson},
     "every tweak with its state, and whether it needs\nadministrator rights", List, true, false, ListEvery},
    {"show", "NAME", Arity::One, {},
     "what a tweak reads, and what on and off do", Show},
    {"set", "NAME on|off", Arity::Pairs, {&kDryRun},
     "sets tweaks as a click on their boxes does", Set, true, true, SetEvery},
    {"backup", "FILE.reg", Arity::One, {},
     "saves every value the tweaks touch, for restore", Backup, true, false, BackupEvery},
    {"restore", "FILE.reg", Arity::One, {&kRestoreDryRun},
     "checks a backup whole, then imports it with the\nsystem's reg.exe", Restore, true, true, RestoreEvery},
    {"save", "PRESET", Arity::One, {&kForce},
     "writes the current states as a preset", Save},
    {"check", "PRESET", Arity::One, {&kJson},
     "compares the tweaks with a preset, changing nothing", Check, true, false, CheckEvery},
    {"apply", "PRESET", Arity::One, {&kBackupTo, &kDryRun, &kApplyAll, &kApplyForce},
     "checks a preset, backs up, then sets the tweaks\nthat differ (all of them with --all)", Apply, true,
     true, ApplyEvery},
    {"reference", "", Arity::None, {},
     "a Markdown reference of all tweaks", Reference},
    {"export", ExportArguments(), Arity::TwoOrThree, {&kForce}, ExportSummary(), Export, false},
    {"keep", "[PRESET]", Arity::NoneOrOne, {&kKeepList, &kKeepRemove, &kKeepRemoveAll},
     "has the system's Task Scheduler apply the preset to\nevery profile (--all-users) as LocalSystem at\nstart-up, daily and after an installed update", Keep, false},
};
// clang-format on

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

// A command that changes the machine waits for the runs that change it
// now, then runs with whose profile it names opened.
int RunHoldingLock(const Command& command, const std::vector<std::string>& args, const Arguments& a,
                   Console& c) {
    MachineLock lock;
    if (command.changesMachine && !a.Has(kDryRun) && !a.Has(kRestoreDryRun)) {
        std::string what, holder;
        for (const std::string& arg : args)
            what += (what.empty() ? "" : " ") + arg;
        if (!lock.Acquire(what, &holder)) {
            c.Error() << holder << " is changing the machine; gave up after waiting "
                      << (g_machineLockWaitMs + 999) / 1000 << " s, nothing was done\n";
            return kBadInput;
        }
    }
    UserHive hive;
    std::string error;
    if (!a.hive.empty())
        SayMountsLeftAlone(c);
    const bool opened = (a.user.empty() || hive.OpenUser(a.user, &error)) &&
                        (a.hive.empty() || hive.OpenFile(a.hive, &error));
    if (opened && CurrentUserRedirected() && !(error = LinkRefusal()).empty())
        error = (a.user.empty() ? a.hive : a.user) + " " + error;
    if (!opened || !error.empty()) {
        c.Error() << error << "; nothing was done\n";
        return kBadInput;
    }
    // Under --all-users no profile is open here: the command walks them all.
    int code = a.allUsers ? command.runAllUsers(c, a) : command.run(c, a);
    if (!hive.Close(&error)) {
        c.Error() << error << "\n";
        code = code == kDone ? kSomeFailed : code;
    }
    return code;
}

// The command itself, once --user and --hive are taken out.
int RunCommand(const std::vector<std::string>& args, const Arguments& whose, Console& c) {
    Writer& out = c.out;
    Writer& err = c.err;
    if (args.empty()) {
        err.Lines(UsageText(kCommands));
        return kBadInput;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "/?" || (name == "help" && args.size() == 1)) {
        out.Lines(UsageText(kCommands));
        return kDone;
    }
    if (name == "--version") {
        out << "morvanectl " << MORVANE_VERSION_TEXT << "\n";
        return kDone;
    }
    if (name == "help") {
        const Command* command = args.size() == 2 ? FindCommand(args[1]) : nullptr;
        if (!command)
            return Usage(c, args.size() == 2 ? "unknown command \"" + args[1] + "\""
                                             : std::string("help takes one COMMAND"));
        out.Lines(CommandHelp(*command));
        return kDone;
    }
    const Command* command = FindCommand(name);
    if (!command)
        return Usage(c, "unknown command \"" + name + "\"");
    if (std::find(args.begin() + 1, args.end(), "--help") != args.end()) {
        out.Lines(CommandHelp(*command));
        return kDone;
    }
    Arguments a;
    a.user = whose.user;
    a.hive = whose.hive;
    a.allUsers = whose.allUsers;
    const std::string problem = Parse(*command, args, &a);
    if (!problem.empty())
        return Usage(c, problem);
    for (const std::string& note : a.notes)
        c.Error() << note << "\n";
    if (a.allUsers && !command->runAllUsers)
        return Usage(c, "--all-users is for list, check, apply, set, backup and restore");
    if (!command->opensProfile)
        return command->run(c, a);
    return RunHoldingLock(*command, args, a, c);
}

} // namespace

// --user and --hive may stand anywhere; they redirect HKEY_CURRENT_USER for
// the whole command, which runs as it always does.
int RunCtl(const std::vector<std::string>& args, Writer& out, Writer& err) {
    Console c{out, err};
    std::vector<std::string> rest;
    Arguments whose;
    const std::string problem = TakeWhose(args, &whose, &rest);
    if (!problem.empty())
        return Usage(c, problem);
    int code = RunCommand(rest, whose, c);
    // Output that never arrived is no success, whatever the command did.
    out.Flush();
    if (const DWORD error = out.WriteError()) {
        c.err << "morvanectl: cannot write to standard output: " << ErrorText(error) << "\n";
        code = code == kDone || code == kDiffers ? kSomeFailed : code;
    }
    return code;
}

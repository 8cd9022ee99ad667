#include "ctl/Commands.h"

#include "ctl/Backup.h"
#include "ctl/Files.h"
#include "ctl/Preset.h"
#include "ctl/Reference.h"
#include "ctl/Words.h"
#include "system/Shell.h"
#include "tweaks/Tweaks.h"

#include <cstdio>
#include <set>

namespace {

constexpr char kUsage[] =
    "Usage: morvanectl COMMAND [ARGUMENTS]\n"
    "\n"
    "  list [--json]                     every tweak with its state, and whether it needs\n"
    "                                    administrator rights\n"
    "  show NAME                         what a tweak reads, and what on and off do\n"
    "  set NAME on|off [...] [--dry-run] sets tweaks as a click on their boxes does\n"
    "  backup FILE.reg                   saves every value the tweaks touch, for restore\n"
    "  restore FILE.reg                  imports a backup with the system's reg.exe\n"
    "  save PRESET                       writes the current states as a preset\n"
    "  apply PRESET [--backup FILE.reg] [--dry-run]\n"
    "                                    checks a preset, backs up, then sets its tweaks\n"
    "  reference                         a Markdown reference of all tweaks\n"
    "\n"
    "A preset has one \"name = on\" or \"name = off\" a line; # starts a comment.\n"
    "Exit codes: 0 done, 2 usage or input error (nothing changed),\n"
    "3 some changes failed (the others were made).\n";

// Results go to `out`, errors to `err`; what was written to `out` appears
// first wherever both end up.
struct Console {
    std::ostream& out;
    std::ostream& err;
    std::ostream& Error() {
        out.flush();
        err << "morvanectl: ";
        return err;
    }
};

int Usage(Console& c, const std::string& problem) {
    c.Error() << problem << "\n";
    c.err << "Try \"morvanectl --help\".\n";
    return kBadInput;
}

std::string Now(const char* format) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    snprintf(text, sizeof(text), format, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

// Options at any place among the arguments; the rest in order.
struct Arguments {
    std::vector<std::string> words;
    bool json = false, dryRun = false;
    std::string backup;
    std::string problem;
};

Arguments Split(const std::vector<std::string>& args, std::initializer_list<const char*> allowed) {
    Arguments a;
    auto allows = [&](const std::string& option) {
        for (const char* o : allowed)
            if (option == o)
                return true;
        return false;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            a.words.push_back(arg);
        } else if (!allows(arg)) {
            a.problem = "unknown option " + arg + " for " + args[0];
        } else if (arg == "--json") {
            a.json = true;
        } else if (arg == "--dry-run") {
            a.dryRun = true;
        } else if (arg == "--backup") {
            if (i + 1 == args.size())
                a.problem = "--backup needs a file name";
            else
                a.backup = args[++i];
        }
    }
    return a;
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int List(Console& c, bool json) {
    if (json) {
        c.out << "[";
        const char* separator = "\n";
        for (const TweakTable& table : TweakTables())
            for (const TweakRow& row : table.rows) {
                c.out << separator << "  {\"name\": " << JsonText(row.name)
                      << ", \"page\": " << JsonText(table.tab)
                      << ", \"label\": " << JsonText(row.label)
                      << ", \"state\": " << (Holds(row.checkedWhen) ? "\"on\"" : "\"off\"")
                      << ", \"admin\": " << (NeedsAdmin(row) ? "true" : "false") << "}";
                separator = ",\n";
            }
        c.out << "\n]\n";
        return kDone;
    }
    for (const TweakTable& table : TweakTables()) {
        c.out << table.tab << "\n";
        for (const TweakRow& row : table.rows) {
            char line[256];
            snprintf(line, sizeof(line), "  %-3s %-5s %-45s %s\n",
                     Holds(row.checkedWhen) ? "on" : "off", NeedsAdmin(row) ? "admin" : "",
                     row.name, row.label);
            c.out << line;
        }
    }
    return kDone;
}

const TweakRow* Known(Console& c, const std::string& name) {
    const TweakRow* row = FindTweak(name);
    if (!row)
        c.Error() << "unknown tweak \"" << name << "\"; did you mean " << NearestName(name)
                  << "?\n";
    return row;
}

int Show(Console& c, const std::string& name) {
    const TweakRow* row = Known(c, name);
    if (!row)
        return kBadInput;
    c.out << row->name << "\n"
          << "  Page:     " << PageOf(*row) << "\n"
          << "  Label:    " << row->label << "\n"
          << "  Tooltip:  " << row->tooltip << "\n"
          << "  State:    " << (Holds(row->checkedWhen) ? "on" : "off") << "\n"
          << "  Rights:   " << (NeedsAdmin(*row) ? "administrator" : "user") << "\n"
          << "  On when:\n";
    for (const Condition& condition : row->checkedWhen)
        c.out << "    " << ConditionWords(condition) << "\n";
    for (const auto& [title, cell] : {std::pair{"On", &row->onCheck}, {"Off", &row->onUncheck}}) {
        c.out << "  " << title << ":\n";
        for (const Phrase& p : *cell)
            c.out << "    " << PhraseWords(p, kSystemFolderWords) << "\n";
    }
    return kDone;
}

// A started program's output, each line indented under the phrase.
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
    case Outcome::Done:
    case Outcome::WasNotThere:
        break;
    }
    return {};
}

// Performs a cell as a click on the box does, the same phrases in the same
// order, each whatever became of the ones before; unlike the window it
// waits for started programs and reports every result. True when all
// succeeded.
bool SetTweak(Console& c, Executor& executor, const TweakRow& row, bool on, bool dryRun) {
    const Cell& cell = on ? row.onCheck : row.onUncheck;
    c.out << row.name << " = " << (on ? "on" : "off") << (dryRun ? " (dry run)" : "") << "\n";
    bool allDone = true;
    for (const Phrase& p : cell) {
        const std::string words = PhraseWords(p, executor.SystemFolder());
        if (dryRun) {
            c.out << "  " << words << "\n";
            continue;
        }
        const Outcome o = executor.Perform(p);
        if (o.Succeeded()) {
            c.out << "  done: " << words
                  << (o.status == Outcome::WasNotThere ? " (was not there)" : "")
                  << (o.ended ? ": exit code 0" : "") << "\n"
                  << Indented(o.output);
            continue;
        }
        allDone = false;
        c.Error() << row.name << " " << (on ? "on" : "off") << ": " << words
                  << ": FAILED: " << Failure(o) << "\n";
        c.err << Indented(o.output);
    }
    return allDone;
}

bool ParseState(const std::string& word, bool* on) {
    if (word == "on" || word == "off") {
        *on = word == "on";
        return true;
    }
    return false;
}

int Set(Console& c, const Arguments& a) {
    if (a.words.empty() || a.words.size() % 2)
        return Usage(c, "set takes pairs of NAME on|off");
    std::vector<std::pair<const TweakRow*, bool>> changes;
    std::set<const TweakRow*> named;
    for (size_t i = 0; i < a.words.size(); i += 2) {
        const TweakRow* row = Known(c, a.words[i]);
        bool on = false;
        if (!row)
            return kBadInput;
        if (!ParseState(a.words[i + 1], &on))
            return Usage(c, "the state of " + a.words[i] + " must be on or off, not \"" +
                                a.words[i + 1] + "\"");
        if (!named.insert(row).second)
            return Usage(c, a.words[i] + " is given twice");
        changes.emplace_back(row, on);
    }
    Executor executor(Executor::StartAndWait);
    int failed = 0;
    for (const auto& [row, on] : changes)
        failed += !SetTweak(c, executor, *row, on, a.dryRun);
    if (failed) {
        c.Error() << failed << " of " << changes.size() << " tweaks had failures\n";
        return kSomeFailed;
    }
    return kDone;
}

// The backup as a new file; false (and said why) when it could not be made.
bool WriteBackup(Console& c, const std::string& path) {
    std::string text, error;
    if (!BackupText(Now("%04u-%02u-%02u %02u:%02u:%02u"), &text, &error)) {
        c.Error() << "no backup made: " << error << "\n";
        return false;
    }
    const DWORD status = WriteNewFile(path, text);
    if (status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS) {
        c.Error() << path << " exists already; a backup never replaces a file\n";
        return false;
    }
    if (status != ERROR_SUCCESS) {
        c.Error() << "cannot write " << path << ": " << ErrorText(status) << "\n";
        return false;
    }
    c.out << "Backup written to " << path << "\n";
    return true;
}

int Restore(Console& c, const std::string& path) {
    std::string text;
    if (const DWORD status = ReadWholeFile(path, &text); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "\n";
        return kBadInput;
    }
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full)) {
        c.Error() << "cannot find the full path of " << path << "\n";
        return kBadInput;
    }
    const std::string parameters = "import \"" + std::string(full) + "\"";
    c.out << "Running reg.exe " << parameters << "\n";
    c.out.flush();
    const RunResult r = RunAndWait("reg.exe", parameters.c_str(), SW_HIDE, kRunTimeoutMs);
    c.out << Indented(r.output);
    if (r.outcome == RunResult::Ended && r.exitCode == 0) {
        c.out << "Restored from " << path << " (reg.exe exit code 0)\n";
        return kDone;
    }
    if (r.outcome == RunResult::NotStarted)
        c.Error() << "reg.exe did not start: " << ErrorText(r.error) << "\n";
    else if (r.outcome == RunResult::Ended)
        c.Error() << "reg.exe import failed with exit code " << r.exitCode
                  << "; some values may not be restored\n";
    else
        c.Error() << "reg.exe import did not end within " << kRunTimeoutMs / 1000 << " s\n";
    return kSomeFailed;
}

int Save(Console& c, const std::string& path) {
    if (const DWORD status = SaveFile(path, CurrentPreset()); status != ERROR_SUCCESS) {
        c.Error() << "cannot write " << path << ": " << ErrorText(status) << "\n";
        return kBadInput;
    }
    c.out << "Preset written to " << path << "\n";
    return kDone;
}

int Apply(Console& c, const Arguments& a) {
    if (a.words.size() != 1)
        return Usage(c, "apply takes one preset file");
    const std::string& path = a.words[0];
    std::string text;
    if (const DWORD status = ReadWholeFile(path, &text); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status)
                  << "; nothing was applied\n";
        return kBadInput;
    }
    std::vector<PresetLine> lines;
    std::vector<std::string> errors;
    ParsePreset(text, &lines, &errors);
    if (!errors.empty()) {
        for (const std::string& e : errors)
            c.Error() << path << ": " << e << "\n";
        c.Error() << "nothing was applied\n";
        return kBadInput;
    }
    if (lines.empty()) {
        c.out << path << " names no tweak; nothing to apply\n";
        return kDone;
    }
    if (!a.dryRun) {
        const std::string backup =
            a.backup.empty() ? Now("morvane-backup-%04u%02u%02u-%02u%02u%02u.reg") : a.backup;
        if (!WriteBackup(c, backup)) {
            c.Error() << "nothing was applied\n";
            return kBadInput;
        }
    }
    Executor executor(Executor::StartAndWait);
    int failed = 0;
    for (const PresetLine& line : lines)
        failed += !SetTweak(c, executor, *line.row, line.on, a.dryRun);
    c.out << (a.dryRun ? "Would apply " : "Applied ") << lines.size() << " tweaks from " << path
          << ": " << lines.size() - failed << " done, " << failed << " with failures\n";
    return failed ? kSomeFailed : kDone;
}

} // namespace

int RunCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Console c{out, err};
    if (args.empty()) {
        err << kUsage;
        return kBadInput;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "/?" || command == "help") {
        out << kUsage;
        return kDone;
    }
    auto words = [&](const Arguments& a, size_t count) {
        return a.problem.empty() && a.words.size() == count;
    };
    if (command == "list") {
        const Arguments a = Split(args, {"--json"});
        return words(a, 0) ? List(c, a.json)
                           : Usage(c, a.problem.empty() ? "list takes no names" : a.problem);
    }
    if (command == "show") {
        const Arguments a = Split(args, {});
        return words(a, 1) ? Show(c, a.words[0]) : Usage(c, "show takes one NAME");
    }
    if (command == "set") {
        const Arguments a = Split(args, {"--dry-run"});
        return a.problem.empty() ? Set(c, a) : Usage(c, a.problem);
    }
    if (command == "backup") {
        const Arguments a = Split(args, {});
        if (!words(a, 1))
            return Usage(c, "backup takes one FILE.reg");
        return WriteBackup(c, a.words[0]) ? kDone : kBadInput;
    }
    if (command == "restore") {
        const Arguments a = Split(args, {});
        return words(a, 1) ? Restore(c, a.words[0]) : Usage(c, "restore takes one FILE.reg");
    }
    if (command == "save") {
        const Arguments a = Split(args, {});
        return words(a, 1) ? Save(c, a.words[0]) : Usage(c, "save takes one PRESET file");
    }
    if (command == "apply") {
        const Arguments a = Split(args, {"--backup", "--dry-run"});
        return a.problem.empty() ? Apply(c, a) : Usage(c, a.problem);
    }
    if (command == "reference") {
        const Arguments a = Split(args, {});
        if (!words(a, 0))
            return Usage(c, "reference takes nothing");
        out << ReferenceText();
        return kDone;
    }
    return Usage(c, "unknown command \"" + command + "\"");
}

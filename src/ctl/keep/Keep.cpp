#include "ctl/keep/Keep.h"

#include "ctl/formats/Backup.h"
#include "ctl/ExitCodes.h"
#include "ctl/formats/FileWriting.h"
#include "ctl/formats/Files.h"
#include "ctl/keep/Kept.h"
#include "ctl/keep/TaskXml.h"
#include "ctl/output/Text.h"
#include "ctl/keep/Trust.h"
#include "system/ErrorText.h"
#include "system/Rights.h"
#include "system/Shell.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kSchtasksWaitMs = 60000;

std::string CopyPath(const std::string& name) {
    return KeptFolder() + "\\" + name + ".preset";
}

std::string XmlPath(const std::string& name) {
    return KeptFolder() + "\\" + name + ".xml";
}

// The preset's file name without its folder and extension; empty when that
// leaves nothing a task may be named: the Task Scheduler expands %...%, and
// a device's name is no file in the kept folder.
std::string KeptName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/:") + 1);
    name = name.substr(0, name.find_last_of('.') == 0 ? name.size() : name.find_last_of('.'));
    if (name.find_first_of("\\/:*?\"<>|%") != std::string::npos || name == "." || name == ".." ||
        NamesDevice(name))
        return {};
    return name;
}

bool Refused(Console& c, const char* doing) {
    if (g_pfnCallerIsAdministrator())
        return false;
    c.Error() << doing
              << " needs administrator rights: the task runs as LocalSystem; run morvanectl "
                 "elevated. Nothing was changed\n";
    return true;
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FullPath(const std::string& path) {
    wchar_t full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(Wide(path).c_str(), MAX_PATH * 2, full, nullptr);
    return n && n < MAX_PATH * 2 ? std::wstring(full, n) : Wide(path);
}

// schtasks.exe with the parameters; true when it ended with 0, else said why.
bool Schtasks(Console& c, const std::wstring& parameters) {
    const RunResult r = RunAndWait("schtasks.exe", parameters, SW_HIDE, kSchtasksWaitMs);
    if (r.outcome == RunResult::Ended && r.exitCode == 0)
        return true;
    c.out << Utf8(L"schtasks.exe " + parameters) << "\n";
    c.out.Lines(r.output);
    if (r.outcome == RunResult::NotStarted)
        c.Error() << "schtasks.exe did not start: " << ErrorText(r.error) << "\n";
    else if (r.outcome == RunResult::Ended)
        c.Error() << "schtasks.exe failed with exit code " << r.exitCode << "\n";
    else
        c.Error() << "schtasks.exe did not end within " << kSchtasksWaitMs / 1000 << " s\n";
    return false;
}

std::wstring TaskName(const std::string& name) {
    return Wide(kTaskFolder + name);
}

constexpr char kWayOut[] =
    "install Morvane from its MSI and run keep from C:\\Program Files\\Morvane";

// Why the kept folder, or NAME's copy and definition in it, must not be used;
// the folder is made first when `make`.
std::string KeptFilesProblem(const std::string& name, bool make) {
    std::string why = make ? MakeDataFolder(KeptFolder()) : DataPathProblem(KeptFolder());
    for (const std::string& path : {CopyPath(name), XmlPath(name)})
        if (why.empty())
            why = DataPathProblem(path);
    return why;
}

// The kept copy and definition as they were, to put back when the task
// they would replace is not registered after all.
std::vector<FileToWrite> Earlier(const std::string& name) {
    std::vector<FileToWrite> earlier;
    for (const std::string& path : {CopyPath(name), XmlPath(name)})
        if (std::string bytes; ReadWholeFile(path, &bytes) == ERROR_SUCCESS)
            earlier.push_back({path, bytes, DataSecurity()});
    return earlier;
}

void PutBack(const std::string& name, const std::vector<FileToWrite>& earlier) {
    for (const std::string& path : {CopyPath(name), XmlPath(name)})
        if (std::none_of(earlier.begin(), earlier.end(),
                         [&](const FileToWrite& f) { return f.path == path; }))
            DeleteFileW(Wide(path).c_str());
    std::string failed;
    WriteFiles(earlier, true, &failed);
}

} // namespace

int KeepPreset(Console& c, const std::string& path) {
    if (Refused(c, "keep"))
        return kBadInput;
    const std::string name = KeptName(path);
    if (name.empty()) {
        c.Error() << path << ": its name cannot name a task; nothing was registered\n";
        return kBadInput;
    }
    if (const std::string why = ProgramDistrust(ProgramPath()); !why.empty()) {
        c.Error() << why << "; " << kWayOut << ". Nothing was registered\n";
        return kBadInput;
    }
    std::string text;
    if (const DWORD status = ReadWholeFile(path, &text); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "\n";
        return kBadInput;
    }
    if (const std::string why = KeptFilesProblem(name, true); !why.empty()) {
        c.Error() << why << "; nothing was registered\n";
        return kBadInput;
    }
    const bool existed = FileExists(CopyPath(name));
    const std::vector<FileToWrite> earlier = Earlier(name);
    KeptTask task{TaskName(name), ResolvedPath(ProgramPath()), FullPath(CopyPath(name)),
                  Wide(LocalStamp("%04u-%02u-%02uT03:00:00"))};
    // The copy and its task's definition: both replaced, or neither.
    std::string failed;
    const DWORD status = WriteFiles({{CopyPath(name), text, DataSecurity()},
                                     {XmlPath(name), FileBytes(TaskXml(task)), DataSecurity()}},
                                    true, &failed);
    if (status != ERROR_SUCCESS) {
        c.Error() << "cannot write into " << KeptFolder() << ": " << ErrorText(status)
                  << "; nothing was registered\n";
        return kSomeFailed;
    }
    if (!Schtasks(c, L"/create /tn \"" + task.name + L"\" /xml \"" + FullPath(XmlPath(name)) +
                         L"\" /f")) {
        PutBack(name, earlier);
        c.Error() << "the task " << Utf8(task.name) << " was not registered\n";
        return kSomeFailed;
    }
    c.out << (existed ? "Replaced" : "Registered") << " the task " << Utf8(task.name) << ": "
          << Utf8(task.program) << " --all-users apply \"" << Utf8(task.preset) << "\" as "
          << "LocalSystem, " << TriggerWords(TaskXml(task)) << "\n";
    return kDone;
}

namespace {

std::wstring WideFile(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, &bytes) != ERROR_SUCCESS || bytes.size() < 2)
        return {};
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return text;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t begin = 0;
    for (size_t tab; (tab = line.find('\t', begin)) != std::string::npos; begin = tab + 1)
        fields.push_back(line.substr(begin, tab - begin));
    fields.push_back(line.substr(begin));
    return fields;
}

// "2026-12-10 01:02:03: 3 changed, 1 failed" for the preset's last run in
// the log; runs that changed nothing write nothing there.
std::string LastRun(const std::string& log, const std::string& name) {
    std::string time;
    size_t changed = 0, failed = 0;
    size_t begin = 0;
    while (begin < log.size()) {
        size_t end = log.find('\n', begin);
        end = end == std::string::npos ? log.size() : end;
        std::string line = log.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> f = Fields(line);
        if (f.size() != 6 || f[1] != Escaped(name))
            continue;
        if (f[0] != time)
            time = f[0], changed = failed = 0;
        ++(f[5].starts_with("failed") ? failed : changed);
    }
    if (time.empty())
        return "no change or failure logged";
    return time + ": " + std::to_string(changed) + " changed, " + std::to_string(failed) +
           " failed";
}

// The names of the kept presets whose files match the pattern, sorted.
std::vector<std::string> KeptNames(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW(Wide(KeptFolder() + "\\" + pattern).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.push_back(KeptName(Utf8(found.cFileName)));
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// Why what keep --list reads must not be used; empty when all of it may.
std::string ListProblem(const std::vector<std::string>& names) {
    std::string why = DataPathProblem(KeptFolder());
    for (const std::string& path : {KeptLogPath(), KeptLogPath() + ".1"})
        if (why.empty())
            why = DataPathProblem(path);
    for (const std::string& name : names)
        if (why.empty())
            why = KeptFilesProblem(name, false);
    return why;
}

} // namespace

int ListKept(Console& c) {
    const std::vector<std::string> names = KeptNames("*.preset");
    if (const std::string why = ListProblem(names); !why.empty()) {
        c.Error() << why << "; nothing of it was read\n";
        return kBadInput;
    }
    if (names.empty()) {
        c.out << "No preset is kept\n";
        return kDone;
    }
    std::string log, older;
    ReadWholeFile(KeptLogPath() + ".1", &older);
    ReadWholeFile(KeptLogPath(), &log);
    int code = kDone;
    for (const std::string& name : names) {
        const std::wstring xml = WideFile(XmlPath(name));
        const std::string triggers = TriggerWords(xml);
        c.out << name << "\n  task:     " << kTaskFolder << name
              << "\n  preset:   " << CopyPath(name) << "\n  triggers: "
              << (triggers.empty() ? "unknown: its definition is missing" : triggers)
              << "\n  last run: " << LastRun(older + log, name) << "\n";
        const std::wstring program = TaskProgram(xml);
        if (const std::string why = program.empty() ? "" : ProgramDistrust(program); !why.empty()) {
            c.out << "  program:  " << why << "; remove this task, then " << kWayOut << "\n";
            code = kSomeFailed;
        }
    }
    return code;
}

namespace {

bool RemoveOne(Console& c, const std::string& name) {
    if (!Schtasks(c, L"/delete /tn \"" + TaskName(name) + L"\" /f")) {
        c.Error() << "the task " << kTaskFolder << name << " and its preset stay\n";
        return false;
    }
    DeleteFileW(Wide(CopyPath(name)).c_str());
    DeleteFileW(Wide(XmlPath(name)).c_str());
    c.out << "Removed the task " << kTaskFolder << name << " and " << CopyPath(name) << "\n";
    return true;
}

} // namespace

int RemoveKept(Console& c, const std::string& name) {
    if (Refused(c, "keep --remove"))
        return kBadInput;
    if (KeptName(name + ".preset") != name || name.empty() ||
        (!RegularFileExists(CopyPath(name)) && !RegularFileExists(XmlPath(name)))) {
        c.Error() << "no preset named \"" << name << "\" is kept; see keep --list\n";
        return kBadInput;
    }
    if (const std::string why = KeptFilesProblem(name, false); !why.empty()) {
        c.Error() << why << "; nothing was removed\n";
        return kBadInput;
    }
    return RemoveOne(c, name) ? kDone : kSomeFailed;
}

int RemoveAllKept(Console& c) {
    if (Refused(c, "keep --remove-all"))
        return kBadInput;
    std::vector<std::string> names = KeptNames("*.preset"), definitions = KeptNames("*.xml");
    names.insert(names.end(), definitions.begin(), definitions.end());
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::string why = DataPathProblem(KeptFolder());
    for (const std::string& name : names)
        if (why.empty())
            why = KeptFilesProblem(name, false);
    if (!why.empty()) {
        c.Error() << why << "; nothing was removed\n";
        return kBadInput;
    }
    if (names.empty())
        c.out << "No preset is kept\n";
    size_t failed = 0;
    for (const std::string& name : names)
        failed += !RemoveOne(c, name);
    if (!failed && RemoveDirectoryW(Wide(KeptFolder()).c_str()))
        c.out << "Removed " << KeptFolder() << "\n";
    return failed ? kSomeFailed : kDone;
}

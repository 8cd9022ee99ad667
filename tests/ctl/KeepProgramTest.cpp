// keep as the administrator of a fleet uses it, with morvanectl.exe as its
// own process in a throwaway prefix: Wine's own schtasks.exe takes the
// task's definition and removes it again; then a recorder stands in for
// schtasks.exe, the definition handed to it is read back, and the command
// line it runs is run as the Task Scheduler would, with its backups and log.
// Each definition is copied out for xmllint and the Task Scheduler's schema.
#include "ctl/BackupFiles.h"
#include "ctl/HiveFiles.h"
#include "support/RunSelected.h"
#include "support/WinePath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <vector>

namespace {

// morvanectl.exe as the build left it, and the copy installed in the
// prefix's Program Files that keep registers.
std::string g_built, g_ctl, g_recorder;
const char kInstalled[] = "C:\\Program Files\\Morvane\\morvanectl.exe";

const char kKept[] = "C:\\ProgramData\\Morvane\\kept\\";
const char kBackups[] = "C:\\ProgramData\\Morvane\\backups\\";
const char kLog[] = "C:\\ProgramData\\Morvane\\kept.log";
const char kTasks[] = "C:\\windows\\system32\\tasks\\Morvane\\";
const char kRecorderLog[] = "C:\\morvane-recorder.log";
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct Ran {
    DWORD code = 0xFFFF;
    std::string out, err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A command line run to its end with both streams caught.
Ran Start(const std::string& commandLine) {
    const std::string outPath = "C:\\keep-out.txt", errPath = "C:\\keep-err.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE hOut = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE hErr = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si{sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = hOut;
    si.hStdError = hErr;
    PROCESS_INFORMATION pi{};
    std::wstring line = W(commandLine);
    Ran ran;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                       &pi)) {
        if (WaitForSingleObject(pi.hProcess, 180000) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &ran.code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
    }
    CloseHandle(hOut);
    CloseHandle(hErr);
    ran.out = ReadAll(outPath);
    ran.err = ReadAll(errPath);
    std::erase(ran.out, '\r');
    std::erase(ran.err, '\r');
    return ran;
}

Ran Ctl(const std::string& arguments) {
    return Start("\"" + g_ctl + "\" " + arguments);
}

std::set<std::string> Files(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// The definition as the task would hold it, and a copy for xmllint.
std::string Definition(const std::string& name) {
    const std::string bytes = ReadAll(kKept + name + ".xml");
    char copies[MAX_PATH] = "";
    GetEnvironmentVariableA("MORVANE_TASK_COPIES", copies, sizeof(copies));
    if (*copies)
        WriteAll(std::string(copies) + "\\" + name + ".xml", bytes);
    std::string text = Utf8Text(bytes).value_or("");
    std::erase(text, '\r');
    return text;
}

std::string Element(const std::string& xml, const std::string& name) {
    const size_t begin = xml.find("<" + name + ">"), end = xml.find("</" + name + ">");
    if (begin == std::string::npos || end == std::string::npos)
        return {};
    return xml.substr(begin + name.size() + 2, end - begin - name.size() - 2);
}

std::string Unescaped(std::string text) {
    for (const auto& [from, to] :
         {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t at; (at = text.find(from)) != std::string::npos;)
            text.replace(at, strlen(from), to);
    return text;
}

void Preset(const std::string& path) {
    WriteAll(path, "usability/show-file-extensions = on\nusability/show-hidden-files = on\n");
}

TEST(KeepWithWinesSchtasksTest, RegistersReplacesListsAndRemovesTasks) {
    Preset("C:\\lab.preset");
    Preset("C:\\office.preset");
    Ran r = Ctl("keep C:\\lab.preset");
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Registered the task \\Morvane\\lab: "), std::string::npos) << r.out;
    r = Ctl("keep C:\\lab.preset");
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Replaced the task \\Morvane\\lab: "), std::string::npos) << r.out;
    EXPECT_EQ(Ctl("keep C:\\office.preset").code, 0u);
    EXPECT_EQ(Files(std::string(kTasks) + "*"), (std::set<std::string>{"lab", "office"}));
    EXPECT_EQ(Files(std::string(kKept) + "*"),
              (std::set<std::string>{"lab.preset", "lab.xml", "office.preset", "office.xml"}));
    EXPECT_EQ(ReadAll(std::string(kKept) + "lab.preset"), ReadAll("C:\\lab.preset"));
    Definition("lab");

    r = Ctl("keep --list");
    EXPECT_EQ(r.code, 0u);
    EXPECT_NE(r.out.find("lab\n  task:     \\Morvane\\lab\n  preset:   C:\\ProgramData\\Morvane\\"
                         "kept\\lab.preset\n  triggers: at start-up, daily at 03:00, after an "
                         "installed update\n  last run: no change or failure logged\n"),
              std::string::npos)
        << r.out;

    r = Ctl("keep --remove lab");
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_EQ(Files(std::string(kTasks) + "*"), (std::set<std::string>{"office"}));
    EXPECT_EQ(Files(std::string(kKept) + "*"),
              (std::set<std::string>{"office.preset", "office.xml"}));
    EXPECT_TRUE(Exists("C:\\lab.preset"));
    r = Ctl("keep --remove lab");
    EXPECT_EQ(r.code, 2u);
    EXPECT_EQ(r.err, "morvanectl: no preset named \"lab\" is kept; see keep --list\n");
    EXPECT_EQ(Ctl("keep --remove office").code, 0u);
    EXPECT_EQ(Files(std::string(kTasks) + "*"), std::set<std::string>{});

    // A preset that apply would refuse is not kept.
    WriteAll("C:\\broken.preset", "usability/no-such-tweak = on\n");
    r = Ctl("keep C:\\broken.preset");
    EXPECT_EQ(r.code, 2u);
    EXPECT_FALSE(Exists(std::string(kKept) + "broken.preset"));
    EXPECT_FALSE(Exists(std::string(kTasks) + "broken"));
}

// What the definition must hold: element, and its text.
// clang-format off
const std::pair<const char*, const char*> kDefinition[] = {
    {"URI", "\\Morvane\\lab"},
    {"BootTrigger", "\n      <Enabled>true</Enabled>\n    "},
    {"ScheduleByDay", "\n        <DaysInterval>1</DaysInterval>\n      "},
    {"Subscription", "&lt;QueryList&gt;&lt;Query Id=&quot;0&quot; Path=&quot;System&quot;&gt;"
                     "&lt;Select Path=&quot;System&quot;&gt;*[System[Provider[@Name='Microsoft-"
                     "Windows-WindowsUpdateClient'] and EventID=19]]&lt;/Select&gt;&lt;/Query&gt;"
                     "&lt;/QueryList&gt;"},
    {"UserId", "S-1-5-18"},
    {"RunLevel", "HighestAvailable"},
    {"MultipleInstancesPolicy", "IgnoreNew"},
    {"Arguments", "--all-users apply &quot;C:\\ProgramData\\Morvane\\kept\\lab.preset&quot;"},
};
// clang-format on

void InstallSchtasksRecorder() {
    ASSERT_TRUE(CopyFileA(g_recorder.c_str(), "C:\\windows\\system32\\schtasks.exe", FALSE));
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(hKey, "schtasks.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(hKey);
    DeleteFileA(kRecorderLog);
}

// A default profile whose NTUSER.DAT is not loaded: it holds neither value.
void AddDefaultProfile() {
    EnableHivePrivileges();
    CreateDirectoryA("C:\\users\\Default", nullptr);
    HKEY hKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MorvaneDefaultSource", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSaveKeyA(hKey, "C:\\users\\Default\\NTUSER.DAT", nullptr), ERROR_SUCCESS);
    RegCloseKey(hKey);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_SET_VALUE, &hKey),
              ERROR_SUCCESS);
    const char folder[] = "C:\\users\\Default";
    RegSetValueExA(hKey, "Default", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                   sizeof(folder));
    RegCloseKey(hKey);
}

// The kept log's lines of one preset.
std::vector<std::string> LogOf(const std::string& text, const std::string& name) {
    std::vector<std::string> lines;
    const std::regex line("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\t" + name +
                          "\t([^\t\r\n]*)\t([^\t\r\n]*)\t(on|off)\t([^\r\n]*)\r\n");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line);
         it != std::sregex_iterator(); ++it)
        lines.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str() + " " +
                        (*it)[4].str());
    return lines;
}

TEST(KeepDefinitionTest, IsWhatSchtasksIsHandedAndItsCommandLineAppliesToEveryProfile) {
    InstallSchtasksRecorder();
    Preset("C:\\lab.preset");
    Ran r = Ctl("keep C:\\lab.preset");
    ASSERT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_EQ(ReadAll(kRecorderLog),
              "\"C:\\windows\\system32\\schtasks.exe\" /create /tn \"\\Morvane\\lab\" /xml "
              "\"C:\\ProgramData\\Morvane\\kept\\lab.xml\" /f\r\n");
    const std::string xml = Definition("lab");
    for (const auto& [element, text] : kDefinition)
        EXPECT_EQ(Element(xml, element), text) << element;
    EXPECT_EQ(Element(xml, "Command"), g_ctl);
    EXPECT_NE(Element(xml, "CalendarTrigger").find("<StartBoundary>"), std::string::npos);
    EXPECT_NE(Element(xml, "EventTrigger").find("<Enabled>true</Enabled>"), std::string::npos);

    // The task's command line, as the Task Scheduler starts it. 24 backups of
    // earlier runs wait in the folder; the newest 20 stay.
    const std::string task =
        "\"" + Element(xml, "Command") + "\" " + Unescaped(Element(xml, "Arguments"));
    CreateDirectoryA("C:\\ProgramData\\Morvane\\backups", nullptr);
    for (int i = 1; i <= 24; ++i)
        WriteAll(kBackups + std::string("morvane-backup-20200101-0000") + (i < 10 ? "0" : "") +
                     std::to_string(i) + "-000.reg",
                 "old");
    const std::set<std::string> users = UsersKeys();
    r = Start(task);
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    std::set<std::string> backups = Files(std::string(kBackups) + "*");
    EXPECT_EQ(backups.size(), 20u);
    EXPECT_EQ(*backups.begin(), "morvane-backup-20200101-000006-000.reg");
    EXPECT_FALSE(backups.rbegin()->starts_with("morvane-backup-2020")) << *backups.rbegin();
    char user[256];
    DWORD size = sizeof(user);
    GetUserNameA(user, &size);
    EXPECT_EQ(
        LogOf(ReadAll(kLog), "lab"),
        (std::vector<std::string>{std::string(user) + " usability/show-file-extensions off on",
                                  std::string(user) + " usability/show-hidden-files off on"}))
        << ReadAll(kLog);

    // Nothing to change: no backup, no line.
    const std::string log = ReadAll(kLog);
    r = Start(task);
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("Nothing to change: no backup written\n"), std::string::npos) << r.out;
    EXPECT_EQ(Files(std::string(kBackups) + "*"), backups);
    EXPECT_EQ(ReadAll(kLog), log);

    // A profile that is not loaded, and a log about to outgrow its limit.
    AddDefaultProfile();
    const std::string full = log + std::string(1024 * 1024 - log.size() - 100, '#') + "\r\n";
    WriteAll(kLog, full);
    // The log tells runs apart by their second: this run must not share the
    // first run's, which a quiet machine reaches in well under one.
    Sleep(1100);
    r = Start(task);
    EXPECT_EQ(r.code, 0u) << r.out << r.err;
    EXPECT_NE(r.out.find("not included: Default is not signed in"), std::string::npos) << r.out;
    EXPECT_EQ(ReadAll(std::string(kLog) + ".1"), full);
    EXPECT_EQ(LogOf(ReadAll(kLog), "lab"),
              (std::vector<std::string>{"Default usability/show-file-extensions off on",
                                        "Default usability/show-hidden-files off on"}));
    EXPECT_EQ(Files(std::string(kBackups) + "*").size(), 20u);
    EXPECT_EQ(UsersKeys(), users);

    r = Ctl("keep --list");
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("\n  last run: [0-9-]{10} [0-9:]{8}: 2 changed, 0 failed\n")))
        << r.out;
    DeleteFileA(kRecorderLog);
    EXPECT_EQ(Ctl("keep --remove lab").code, 0u);
    EXPECT_EQ(ReadAll(kRecorderLog),
              "\"C:\\windows\\system32\\schtasks.exe\" /delete /tn \"\\Morvane\\lab\" /f\r\n");
    EXPECT_TRUE(Exists(kLog));
    EXPECT_EQ(Files(std::string(kBackups) + "*").size(), 20u);
}

// A Unix program run from the prefix, as Wine's start.exe can: what makes a
// folder a link, or lets everyone write a file.
void Unix(const std::vector<std::string>& args) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name"));
    ASSERT_NE(unixName, nullptr);
    std::string line = "start.exe /wait /unix";
    for (const std::string& arg : args) {
        const std::string path = arg.size() > 2 && arg[1] == ':' ? [&] {
            char* name = unixName(W(arg).c_str());
            std::string unix = name ? name : "";
            HeapFree(GetProcessHeap(), 0, name);
            return unix;
        }() : arg;
        line += " \"" + path + "\"";
    }
    EXPECT_EQ(Start(line).code, 0u) << line;
}

void RemoveTree(const std::string& path) {
    Unix({"/bin/rm", "-rf", path});
}

// A preset kept again whose task is not registered leaves the task's own
// copy and definition as they were; one kept anew leaves nothing.
TEST(KeepDefinitionTest, AFailedRegistrationChangesNoKeptFile) {
    InstallSchtasksRecorder();
    RemoveTree("C:\\ProgramData\\Morvane");
    Preset("C:\\lab.preset");
    ASSERT_EQ(Ctl("keep C:\\lab.preset").code, 0u);
    const std::string copy = ReadAll(std::string(kKept) + "lab.preset");
    const std::string definition = ReadAll(std::string(kKept) + "lab.xml");
    WriteAll("C:\\lab.preset", "usability/show-file-extensions = off\n");
    WriteAll("C:\\new.preset", "usability/show-file-extensions = off\n");
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", "1");
    const Ran again = Ctl("keep C:\\lab.preset"), anew = Ctl("keep C:\\new.preset");
    SetEnvironmentVariableA("MORVANE_RECORDER_EXIT", nullptr);
    EXPECT_EQ(again.code, 3u) << again.out << again.err;
    EXPECT_EQ(anew.code, 3u) << anew.out << anew.err;
    EXPECT_EQ(ReadAll(std::string(kKept) + "lab.preset"), copy);
    EXPECT_EQ(ReadAll(std::string(kKept) + "lab.xml"), definition);
    EXPECT_EQ(Files(std::string(kKept) + "*"), (std::set<std::string>{"lab.preset", "lab.xml"}));
}

// Each way an ordinary account could make LocalSystem run or apply what it
// chose, refused with nothing registered, applied or written.
enum class Run { KeepFromBuild, Keep, KeptRun };

struct Distrusted {
    const char* what;
    std::vector<std::vector<std::string>> unix; // run first
    Run run;
    const char* said;
    const char* untouched; // a place nothing may be written into
};

// clang-format off
const Distrusted kDistrusted[] = {
    {"a copy outside Program Files", {}, Run::KeepFromBuild, "is not below C:\\Program Files", nullptr},
    {"Program Files\\Morvane writable by everyone",
     {{"/bin/chmod", "o+w", "C:\\Program Files\\Morvane"}}, Run::Keep,
     "C:\\Program Files\\Morvane can be changed by Everyone", nullptr},
    {"ProgramData\\Morvane writable by everyone",
     {{"/bin/mkdir", "-p", "C:\\ProgramData\\Morvane"}, {"/bin/chmod", "o+w", "C:\\ProgramData\\Morvane"}},
     Run::Keep, "C:\\ProgramData\\Morvane can be changed by Everyone", "C:\\ProgramData\\Morvane\\kept"},
    {"ProgramData\\Morvane a link",
     {{"/bin/mkdir", "-p", "C:\\planted"}, {"/bin/ln", "-s", "C:\\planted", "C:\\ProgramData\\Morvane"}},
     Run::Keep, "C:\\ProgramData\\Morvane is a link", "C:\\planted\\kept"},
    {"a kept preset writable by everyone",
     {{"/bin/chmod", "o+w", "C:\\ProgramData\\Morvane\\kept\\lab.preset"}}, Run::KeptRun,
     "C:\\ProgramData\\Morvane\\kept\\lab.preset can be changed by Everyone",
     "C:\\ProgramData\\Morvane\\backups"},
    {"the backups folder a link",
     {{"/bin/mkdir", "-p", "C:\\planted"}, {"/bin/ln", "-s", "C:\\planted", "C:\\ProgramData\\Morvane\\backups"}},
     Run::KeptRun, "C:\\ProgramData\\Morvane\\backups is a link", "C:\\planted\\morvane-backup-*"},
};
// clang-format on

TEST(KeepTrustTest, NothingAnOrdinaryAccountCanChangeIsRunAppliedOrWrittenThrough) {
    InstallSchtasksRecorder();
    Preset("C:\\lab.preset");
    ASSERT_EQ(Ctl("set usability/show-file-extensions off usability/show-hidden-files off").code,
              0u);
    for (const Distrusted& row : kDistrusted) {
        SCOPED_TRACE(row.what);
        RemoveTree("C:\\ProgramData\\Morvane");
        RemoveTree("C:\\planted");
        Unix({"/bin/chmod", "go-w", "C:\\Program Files\\Morvane"});
        DeleteFileA(kRecorderLog);
        if (row.run == Run::KeptRun) {
            ASSERT_EQ(Ctl("keep C:\\lab.preset").code, 0u);
            DeleteFileA(kRecorderLog);
        }
        for (const std::vector<std::string>& args : row.unix)
            Unix(args);
        const std::string kept = "\"" + g_ctl + "\" --all-users apply \"" + kKept + "lab.preset\"";
        const std::string program = row.run == Run::KeepFromBuild ? g_built : g_ctl;
        const Ran r =
            Start(row.run == Run::KeptRun ? kept : "\"" + program + "\" keep C:\\lab.preset");
        EXPECT_EQ(r.code, 2u) << r.out << r.err;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_FALSE(Exists(kRecorderLog)) << "schtasks.exe ran";
        EXPECT_EQ(Ctl("check C:\\lab.preset").code, 1u) << "the preset was applied";
        if (row.untouched)
            EXPECT_TRUE(Files(row.untouched).empty() && !Exists(row.untouched)) << row.untouched;
    }
    // The task of a preset kept from an installed copy that anyone may now
    // replace is named as such.
    RemoveTree("C:\\ProgramData\\Morvane");
    ASSERT_EQ(Ctl("keep C:\\lab.preset").code, 0u);
    Unix({"/bin/chmod", "o+w", kInstalled});
    const Ran list = Ctl("keep --list");
    Unix({"/bin/chmod", "o-w", kInstalled});
    EXPECT_EQ(list.code, 3u);
    EXPECT_NE(
        list.out.find(std::string("  program:  ") + kInstalled + " can be changed by Everyone"),
        std::string::npos)
        << list.out;
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: ctl_keep_tests morvanectl.exe recorder.exe\n");
        return 2;
    }
    g_built = WindowsPath(argv[1]);
    g_ctl = kInstalled;
    CreateDirectoryA("C:\\Program Files\\Morvane", nullptr);
    if (!CopyFileA(g_built.c_str(), kInstalled, FALSE)) {
        fprintf(stderr, "cannot install %s: %lu\n", kInstalled, GetLastError());
        return 2;
    }
    g_recorder = WindowsPath(argv[2]);
    return RunSelectedTests();
}

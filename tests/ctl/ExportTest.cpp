// export ansible|gpp|reg: what the files say for known rows, the input they
// refuse, and for the checks on the build machine (ctl_export_check) the
// exports of all fifty on and all fifty off beside the sandboxed registry
// before and after apply of the same preset (and after it with every
// program failing), the programs apply started, and the registry that
// Wine's reg.exe import of the .reg export gave.
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/exports/GppFile.h"
#include "ctl/formats/RegFile.h"
#include "ctl/output/Text.h"
#include "support/RegistrySandbox.h"
#include "system/Registry.h"
#include "system/Shell.h"
#include "tweaks/Tweaks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

const std::string kOut = MORVANE_EXPORT_DIR; // a Windows path to a folder of the build

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Records what apply starts instead of starting it; each program then
// ends at once with exit code g_exitCode (0 unless a test fails them).
std::vector<std::string> g_started;
DWORD g_exitCode = 0;
RunResult RecordStart(const char* file, const char* parameters, int, DWORD) {
    g_started.push_back(std::string(file) + "\t" + parameters);
    return {.outcome = RunResult::Ended, .exitCode = g_exitCode};
}
struct StartRecorder {
    RunAndWaitFn previous = g_pfnRunAndWait;
    StartRecorder() {
        g_started.clear();
        g_exitCode = 0;
        g_pfnRunAndWait = RecordStart;
    }
    ~StartRecorder() { g_pfnRunAndWait = previous; }
};

std::string AllFifty(bool on) {
    std::string preset = "# all fifty " + std::string(on ? "on" : "off") + "\n";
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            preset += std::string(row.name) + (on ? " = on\n" : " = off\n");
    return preset;
}

std::string SnapshotText(const std::map<std::string, RegValue>& snapshot) {
    std::string text;
    for (const auto& [where, value] : snapshot) {
        text += where + "\t" + std::to_string(value.type) + "\t";
        for (unsigned char c : value.data) {
            char hex[4];
            snprintf(hex, sizeof(hex), "%02x", c);
            text += hex;
        }
        text += "\n";
    }
    return text;
}

void WriteSnapshot(const std::string& path, const std::map<std::string, RegValue>& snapshot) {
    WriteFile(path, SnapshotText(snapshot));
}

// The program's exit code, or -1 when it could not be run or did not end.
DWORD RunProgram(std::wstring commandLine) {
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// The sandbox brought to the opposite of the preset's state, so that every
// line of the preset changes something.
void ApplyOpposite(bool on) {
    TempFile opposite("opposite.preset"), backup("first.reg");
    opposite.Write(AllFifty(!on));
    ASSERT_EQ(Ctl({"apply", opposite.path, "--backup", backup.path}).code, kDone);
}

// The .reg export imported by Wine's own reg.exe into a second sandbox
// brought to the state the first one was in: only its keys' roots are
// renamed, to the sandbox's keys, which reg.exe reaches as another process.
void ImportWithWine(bool on, const std::string& folder) {
    RegistrySandbox sandbox;
    StartRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(ApplyOpposite(on));
    ASSERT_EQ(SnapshotText(sandbox.Snapshot()), ReadFile(folder + "\\before.txt"));
    const std::string bytes = ReadFile(folder + "\\export.reg");
    ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
    const std::string text = Utf8(Utf16View(reinterpret_cast<const Utf16Char*>(bytes.data() + 2),
                                            (bytes.size() - 2) / sizeof(Utf16Char)));
    const std::pair<std::string, const char*> roots[] = {{"HKEY_CURRENT_USER\\", "HKCU"},
                                                         {"HKEY_LOCAL_MACHINE\\", "HKLM"},
                                                         {"HKEY_CLASSES_ROOT\\", "HKCR"}};
    std::string sandboxed;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at) + 1, text.size());
        std::string line = text.substr(at, end - at);
        const size_t key = line.starts_with("[-") ? 2 : 1; // where the key's name starts
        for (const auto& [root, name] : roots)
            if (line.starts_with("[") && line.compare(key, root.size(), root) == 0)
                line = line.substr(0, key) + "HKEY_CURRENT_USER\\" + sandbox.Path() + "\\" + name +
                       "\\" + line.substr(key + root.size());
        sandboxed += line;
        at = end;
    }
    TempFile file("import.reg");
    file.Write(FileBytes(Wide(sandboxed)));
    EXPECT_EQ(RunProgram(L"reg.exe import \"" + Wide(file.path) + L"\""), 0u);
    WriteSnapshot(folder + "\\imported.txt", sandbox.Snapshot());
    // No DLL was registered: check must not find Compressed Folders as wanted.
    const Result check = Ctl({"check", folder + "\\preset"});
    EXPECT_EQ(check.code, kDiffers) << check.out;
    EXPECT_NE(check.out.find(std::string("general/compressed-folders: ") +
                             (on ? "off, wanted on" : "on, wanted off")),
              std::string::npos)
        << check.out;
}

// The preset applied over the opposite state with every program failing
// (regsvr32.exe ends with 3 where zipfldr.dll is missing): what an export
// that runs no program must make.
void ApplyWithRunsFailing(bool on, const std::string& folder) {
    RegistrySandbox sandbox;
    StartRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(ApplyOpposite(on));
    g_exitCode = 3;
    TempFile backup("failing.reg");
    const Result r = Ctl({"apply", folder + "\\preset", "--backup", backup.path});
    EXPECT_EQ(r.code, kSomeFailed) << r.err;
    WriteSnapshot(folder + "\\runs-failed.txt", sandbox.Snapshot());
}

// The preset applied over the opposite state, with its exports beside the
// registry it left.
void Apply(bool on, const std::string& folder) {
    RegistrySandbox sandbox;
    StartRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(ApplyOpposite(on));
    TempFile second("second.reg");
    const std::string preset = folder + "\\preset";
    WriteFile(preset, AllFifty(on));

    WriteSnapshot(folder + "\\before.txt", sandbox.Snapshot());
    Result r = Ctl({"export", "ansible", preset, folder + "\\playbook.yml"});
    ASSERT_EQ(r.code, kDone) << r.err;
    r = Ctl({"export", "gpp", preset, folder + "\\gpo"});
    ASSERT_EQ(r.code, kDone) << r.err;
    r = Ctl({"export", "reg", preset, folder + "\\export.reg"});
    ASSERT_EQ(r.code, kDone) << r.err;
    g_started.clear();
    r = Ctl({"apply", preset, "--backup", second.path});
    ASSERT_EQ(r.code, kDone) << r.err;
    WriteSnapshot(folder + "\\after.txt", sandbox.Snapshot());
    std::string started = SystemFolder() + "\n";
    for (const std::string& s : g_started)
        started += s + "\n";
    WriteFile(folder + "\\started.txt", started);
}

void Record(bool on) {
    const std::string folder = kOut + "\\" + (on ? "on" : "off");
    CreateDirectoryA(kOut.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    Apply(on, folder);
    ImportWithWine(on, folder);
    ApplyWithRunsFailing(on, folder);
}

TEST(ExportRecordTest, AllFiftyOn) {
    Record(true);
}

TEST(ExportRecordTest, AllFiftyOff) {
    Record(false);
}

// Exports for another user and for a profile file, for the same checks of
// syntax, arguments and schema.
TEST(ExportRecordTest, ForAnotherUserAndAProfileFile) {
    const std::string folder = kOut + "\\targets";
    CreateDirectoryA(kOut.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    TempFile preset("targets.preset");
    preset.Write(AllFifty(true));
    const char sid[] = "S-1-5-21-3623811015-3361044348-30300820-1013";
    Result r = Ctl({"--user", sid, "export", "ansible", preset.path, folder + "\\user.yml"});
    EXPECT_EQ(r.code, kDone) << r.err;
    r = Ctl({"export", "ansible", preset.path, folder + "\\hive.yml", "--hive",
             "C:\\Users\\Default\\NTUSER.DAT"});
    EXPECT_EQ(r.code, kDone) << r.err;
    r = Ctl({"--user", sid, "export", "gpp", preset.path, folder + "\\gpo-user"});
    EXPECT_EQ(r.code, kDone) << r.err;
    r = Ctl({"--user", sid, "export", "reg", preset.path, folder + "\\user.reg"});
    EXPECT_EQ(r.code, kDone) << r.err;
    // Group Policy would send a profile file's values to every user it reaches.
    r = Ctl({"--hive", "C:\\Users\\Default\\NTUSER.DAT", "export", "gpp", preset.path,
             folder + "\\gpo-hive"});
    EXPECT_EQ(r.code, kBadInput) << r.err;
    EXPECT_EQ(r.err, "morvanectl: export gpp cannot write for a profile file: Group Policy sends "
                     "the per-user values to every user it reaches, and a profile file is none of "
                     "them; export ansible loads it; nothing was exported\n");
    EXPECT_EQ(GetFileAttributesA((folder + "\\gpo-hive").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A path as a string of hex digits, for the manifest that the check on the
// build machine reads.
std::string Hex(const std::string& text) {
    std::string hex;
    for (unsigned char c : text) {
        char digits[4];
        snprintf(digits, sizeof(digits), "%02x", c);
        hex += digits;
    }
    return hex;
}

// Hostile and careless paths of a profile file and of the preset. What an
// export can hold is written as data (ctl_export_check then runs the
// formats' own tools over it: ansible-playbook --syntax-check and
// --list-tasks, Ansible's templating); what would break a line or the file
// is refused with nothing written. export gpp refuses every profile file.
TEST(ExportSafetyTest, HostilePathsAreWrittenAsDataOrRefused) {
    const std::string folder = kOut + "\\hostile";
    CreateDirectoryA(kOut.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string pwned = "{{ lookup('pipe', 'touch morvane-pwned') }}";
    struct Case {
        std::string hive, preset; // the preset's file name
        bool ansible;             // written, else refused
    };
    // clang-format off
    const Case cases[] = {
        {"C:\\" + pwned + "\\NTUSER.DAT", "p.preset", true},
        {"C:\\{% for x in range(3) %}" + pwned + "{% endfor %}\\a.dat", "p.preset", true},
        {"C:\\it's \"quoted\" # no comment: - x\\NTUSER.DAT", "p.preset", true},
        {"C:\\&anchor *alias !tag %x @y `z` [a] {b}\\NTUSER.DAT", "p.preset", true},
        {"C:\\a & b <c> ]]> --x-- -\\NTUSER.DAT-", "p.preset", true},
        {"C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C\\\xE5\x90\x8D.dat", "p.preset", true},
        {"C:\\Default\\NTUSER.DAT", pwned + " #'x.preset", true},
        {"C:\\x.dat\n- name: Pwn\n  hosts: all\n  tasks:\n    - ansible.windows.win_command: cmd /c calc\n#", "p.preset", false},
        {"C:\\x\r.dat", "p.preset", false},
        {"C:\\x\xE2\x80\xA8- name: Pwn.dat", "p.preset", false},
        {"C:\\x\xE2\x80\xA9.dat", "p.preset", false},
        {"C:\\x\xC2\x85.dat", "p.preset", false},
        {"C:\\x\x01.dat", "p.preset", false},
        {"C:\\x\x1B[31m.dat", "p.preset", false},
        {"C:\\x\x7F.dat", "p.preset", false},
        {"C:\\x\t.dat", "p.preset", false},
        {"C:\\Default\\NTUSER.DAT", "p\xE2\x80\xA8- name: Pwn.preset", false},
    };
    // clang-format on
    std::string manifest;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        const std::string preset = std::string(temp) + "morvanectl-hostile-" + c.preset;
        const HANDLE file =
            CreateFileW(Wide(preset).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << c.preset;
        const char kPreset[] =
            "usability/show-hidden-files = on\ngeneral/compressed-folders = on\n";
        DWORD written = 0;
        ::WriteFile(file, kPreset, sizeof(kPreset) - 1, &written, nullptr);
        CloseHandle(file);
        const std::string name = folder + "\\" + std::to_string(i);
        for (const bool ansible : {true, false}) {
            const std::string out = name + (ansible ? ".yml" : "-gpo");
            const Result r =
                Ctl({"--hive", c.hive, "export", ansible ? "ansible" : "gpp", preset, out});
            const bool wanted = ansible && c.ansible;
            EXPECT_EQ(r.code, wanted ? kDone : kBadInput) << i << (ansible ? " ansible" : " gpp");
            EXPECT_EQ(GetFileAttributesA(out.c_str()) != INVALID_FILE_ATTRIBUTES, wanted) << i;
            if (ansible && !wanted) {
                EXPECT_NE(r.err.find("which cannot be written safely into "), std::string::npos)
                    << r.err;
            }
            if (!wanted) {
                EXPECT_TRUE(r.err.ends_with("; nothing was exported\n")) << r.err;
            }
            EXPECT_EQ(r.err.find_first_of("\r\x01\x1B\x7F\t"), std::string::npos) << r.err;
        }
        if (c.ansible)
            manifest += std::to_string(i) + "\t" + Hex(c.hive) + "\t" + Hex(preset) + "\n";
        DeleteFileW(Wide(preset).c_str());
    }
    WriteFile(folder + "\\cases.txt", manifest);
}

const char kFour[] = "general/store-lm-hash = on\n"
                     "services/time-synchronization = off\n"
                     "usability/notepad-in-context-menu = off\n"
                     "general/compressed-folders = on\n";

// clang-format off
const char kFourPlaybookTasks[] =
    "  tasks:\n"
    "    - name: 'Tweak general/store-lm-hash on: set nolmhash'\n"
    "      ansible.windows.win_regedit:\n"
    "        path: 'HKLM:\\SYSTEM\\CurrentControlSet\\Control\\Lsa'\n"
    "        name: 'nolmhash'\n"
    "        data: 0\n"
    "        type: dword\n"
    "    - name: 'Tweak services/time-synchronization off: stop W32Time'\n"
    "      ansible.windows.win_service:\n"
    "        name: 'W32Time'\n"
    "        start_mode: manual\n"
    "        state: stopped\n"
    "    - name: 'Tweak usability/notepad-in-context-menu off: delete the key edit'\n"
    "      ansible.windows.win_regedit:\n"
    "        path: 'HKCR:\\*\\shell\\edit'\n"
    "        state: absent\n"
    "        delete_key: true\n"
    "    - name: 'Tweak usability/notepad-in-context-menu off: set Edit Window'\n"
    "      ansible.windows.win_regedit:\n"
    "        path: 'HKCU:\\Software\\Quelt'\n"
    "        name: 'Edit Window'\n"
    "        data: 0\n"
    "        type: dword\n"
    "    - name: 'Tweak general/compressed-folders on: run regsvr32.exe'\n"
    "      ansible.windows.win_command:\n"
    "        argv:\n"
    "          - '{{ morvane_system_folder }}\\regsvr32.exe'\n"
    "          - '/s'\n"
    "          - '{{ morvane_system_folder }}\\zipfldr.dll'\n"
    "      changed_when: true\n"
    "    - name: 'Tweak general/compressed-folders on: set Compressed Folder'\n"
    "      ansible.windows.win_regedit:\n"
    "        path: 'HKCU:\\Software\\Quelt'\n"
    "        name: 'Compressed Folder'\n"
    "        data: '1'\n"
    "        type: string\n";
// clang-format on

// The three files of a gpp export and their folders.
void RemoveGpp(const std::string& folder) {
    for (const char* file : {"Machine\\Preferences\\Registry\\Registry.xml",
                             "Machine\\Preferences\\Services\\Services.xml",
                             "User\\Preferences\\Registry\\Registry.xml"})
        DeleteFileA((folder + "\\" + file).c_str());
    for (const char* part : {"Machine\\Preferences\\Registry", "Machine\\Preferences\\Services",
                             "Machine\\Preferences", "Machine", "User\\Preferences\\Registry",
                             "User\\Preferences", "User", ""})
        RemoveDirectoryA((folder + "\\" + part).c_str());
}

class ExportTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    TempFile preset{"four.preset"};
    void SetUp() override { preset.Write(kFour); }
};

TEST_F(ExportTest, PlaybookSaysWhatApplyMakesInItsOrder) {
    const auto before = sandbox.Snapshot();
    const Result r = Ctl({"export", "ansible", preset.path});
    EXPECT_EQ(r.code, kDone);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.starts_with("---\n")) << r.out;
    EXPECT_NE(r.out.find("  gather_facts: true\n  vars:\n    morvane_system_folder: \"{{ "
                         "ansible_facts['env']['SystemRoot'] }}\\\\System32\"\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with(kFourPlaybookTasks)) << r.out;
    EXPECT_TRUE(sandbox.Snapshot() == before);

    // Another user's values go to their hive, a profile file's to win_regedit's.
    const Result user = Ctl({"--user", "S-1-5-21-1-2-3-1013", "export", "ansible", preset.path});
    EXPECT_NE(user.out.find("        path: 'HKU:\\S-1-5-21-1-2-3-1013\\Software\\Quelt'\n"
                            "        name: 'Edit Window'\n"),
              std::string::npos)
        << user.out;
    EXPECT_NE(user.out.find("        path: 'HKLM:\\SYSTEM\\CurrentControlSet\\Control\\Lsa'\n"),
              std::string::npos);
    const Result hive =
        Ctl({"--hive", "C:\\Users\\Default\\NTUSER.DAT", "export", "ansible", preset.path});
    EXPECT_NE(hive.out.find("        path: 'HKLM:\\ANSIBLE\\Software\\Quelt'\n"
                            "        hive: !unsafe 'C:\\Users\\Default\\NTUSER.DAT'\n"
                            "        name: 'Edit Window'\n"),
              std::string::npos)
        << hive.out;
}

TEST_F(ExportTest, GroupPolicyFilesHoldTheItemsAndNameWhatTheyCannotDo) {
    TempFile gpo("four-gpo");
    const Result r = Ctl({"export", "gpp", preset.path, gpo.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    const std::string why = "general/compressed-folders on: run regsvr32.exe /s <system "
                            "folder>\\zipfldr.dll (a program run, such as a DLL registration)";
    // Without the registration, the state value would say Compressed
    // Folders are on when they are not: apply leaves it out when the run fails.
    const std::string leftOut = "general/compressed-folders on: set HKCU\\Software\\Quelt : "
                                "Compressed Folder = SZ \"1\" (left out: apply makes it only once "
                                "the program run before it succeeded)";
    EXPECT_EQ(r.err, "morvanectl: gpp cannot express " + why + "\nmorvanectl: gpp cannot express " +
                         leftOut + "\n");
    const std::string machine =
        ReadFile(gpo.path + "\\Machine\\Preferences\\Registry\\Registry.xml");
    const std::string services =
        ReadFile(gpo.path + "\\Machine\\Preferences\\Services\\Services.xml");
    const std::string user = ReadFile(gpo.path + "\\User\\Preferences\\Registry\\Registry.xml");
    EXPECT_TRUE(machine.starts_with(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings "
        "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n\t<!-- morvanectl: not expressible "
        "in Group Policy Preferences: " +
        why + " -->\r\n\t<!-- morvanectl: not expressible in Group Policy Preferences: " + leftOut +
        " -->\r\n"))
        << machine;
    for (const char* item : {
             "<Properties action=\"U\" displayDecimal=\"1\" default=\"0\" "
             "hive=\"HKEY_LOCAL_MACHINE\" key=\"SYSTEM\\CurrentControlSet\\Control\\Lsa\" "
             "name=\"nolmhash\" type=\"REG_DWORD\" value=\"00000000\"/>",
             "<Properties action=\"D\" displayDecimal=\"1\" default=\"0\" "
             "hive=\"HKEY_CLASSES_ROOT\" key=\"*\\shell\\edit\" name=\"\"/>",
         })
        EXPECT_NE(machine.find(item), std::string::npos) << item << "\nin\n" << machine;
    for (const char* item : {
             "<Properties action=\"U\" displayDecimal=\"1\" default=\"0\" "
             "hive=\"HKEY_CURRENT_USER\" key=\"Software\\Quelt\" name=\"Edit Window\" "
             "type=\"REG_DWORD\" value=\"00000000\"/>",
         })
        EXPECT_NE(user.find(item), std::string::npos) << item << "\nin\n" << user;
    EXPECT_EQ(user.find("Compressed Folder"), std::string::npos) << user;
    EXPECT_NE(services.find("<NTService clsid=\"{AB6F0B67-341F-4e51-92F9-005FBFBA1A43}\" "
                            "name=\"W32Time\" image=\"2\""),
              std::string::npos)
        << services;
    EXPECT_NE(services.find("<Properties startupType=\"MANUAL\" serviceName=\"W32Time\" "
                            "serviceAction=\"STOP\" timeout=\"30\"/></NTService>"),
              std::string::npos)
        << services;
    // Written again, the items keep their ids.
    const size_t uid = machine.find("uid=\"");
    ASSERT_NE(uid, std::string::npos);
    EXPECT_EQ(Ctl({"export", "gpp", preset.path, gpo.path}).code, kDone);
    EXPECT_EQ(ReadFile(gpo.path + "\\Machine\\Preferences\\Registry\\Registry.xml").substr(uid, 45),
              machine.substr(uid, 45));
    RemoveGpp(gpo.path);
}

// Another user's values go to the machine part, under HKEY_USERS\<SID>: the
// user part would reach every user who signs in.
TEST_F(ExportTest, GroupPolicyFilesForAnotherUserNameTheirHive) {
    TempFile gpo("four-gpo-user");
    const char sid[] = "S-1-5-21-1-2-3-1013";
    const Result r = Ctl({"--user", sid, "export", "gpp", preset.path, gpo.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    const std::string machine =
        ReadFile(gpo.path + "\\Machine\\Preferences\\Registry\\Registry.xml");
    const std::string user = ReadFile(gpo.path + "\\User\\Preferences\\Registry\\Registry.xml");
    for (const std::string item : {
             "hive=\"HKEY_USERS\" key=\"S-1-5-21-1-2-3-1013\\Software\\Quelt\" "
             "name=\"Edit Window\" type=\"REG_DWORD\" value=\"00000000\"/>",
             "hive=\"HKEY_LOCAL_MACHINE\" key=\"SYSTEM\\CurrentControlSet\\Control\\Lsa\" "
             "name=\"nolmhash\"",
         })
        EXPECT_NE(machine.find(item), std::string::npos) << item << "\nin\n" << machine;
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user.find("<Properties"), std::string::npos) << user;
    EXPECT_EQ(machine.find("HKEY_CURRENT_USER"), std::string::npos) << machine;
    RemoveGpp(gpo.path);
}

// A GPO's preferences as others wrote them, each one to come through an
// export byte for byte and in its order: items as the Group Policy
// Management Console writes them (no spaces between), a collection holding
// items, a comment.
const char* const kGppParts[] = {"Machine\\Preferences\\Registry\\Registry.xml",
                                 "Machine\\Preferences\\Services\\Services.xml",
                                 "User\\Preferences\\Registry\\Registry.xml"};
const std::vector<std::string> kForeign[] = {
    {"<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"AUOptions\" "
     "status=\"AUOptions\" image=\"2\" changed=\"2024-03-01 10:00:00\" "
     "uid=\"{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}\" bypassErrors=\"1\"><Properties action=\"U\" "
     "displayDecimal=\"1\" default=\"0\" hive=\"HKEY_LOCAL_MACHINE\" "
     "key=\"SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU\" name=\"AUOptions\" "
     "type=\"REG_DWORD\" value=\"00000004\"/></Registry>",
     "<Collection clsid=\"{53B533F5-224C-47e3-B01B-CA3B3F3FF4BF}\" name=\"Helpdesk &amp; co\">"
     "<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"Banner\" image=\"1\" "
     "changed=\"2024-03-01 10:00:00\" uid=\"{1B2C3D4E-5F6A-4B7C-8D9E-0F1A2B3C4D5E}\">"
     "<Properties action=\"R\" hive=\"HKEY_LOCAL_MACHINE\" key=\"SOFTWARE\\Helpdesk\" "
     "name=\"Banner\" type=\"REG_SZ\" value=\"&lt;call 1234&gt;\"/></Registry></Collection>",
     "<!-- kept: the helpdesk's own -->"},
    {"<NTService clsid=\"{AB6F0B67-341F-4e51-92F9-005FBFBA1A43}\" name=\"Spooler\" image=\"2\" "
     "changed=\"2024-03-01 10:00:00\" uid=\"{2C3D4E5F-6A7B-4C8D-9E0F-1A2B3C4D5E6F}\" "
     "disabled=\"1\"><Properties startupType=\"DISABLED\" serviceName=\"Spooler\" "
     "serviceAction=\"STOP\" timeout=\"30\"/></NTService>"},
    {"<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"Wallpaper\" image=\"2\" "
     "changed=\"2024-03-01 10:00:00\" uid=\"{3D4E5F6A-7B8C-4D9E-8F0A-1B2C3D4E5F6A}\" "
     "desc=\"caf\xC3\xA9\"><Properties action=\"U\" hive=\"HKEY_CURRENT_USER\" "
     "key=\"Control Panel\\Desktop\" name=\"Wallpaper\" type=\"REG_SZ\" "
     "value=\"C:\\caf\xC3\xA9.bmp\"/></Registry>"},
};
const char* const kRoots[] = {
    "<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">",
    "<NTServices clsid=\"{2CFB484A-4E96-4b5d-A0B6-093D2F91E6AE}\" disabled=\"0\">",
    "<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\" disabled=\"0\">"};

// A GPO file of the foreign items, the console's way or with spaces, and
// `own` (an item of an older morvanectl) after the first of them.
std::string ForeignFile(int part, const char* space, const std::string& own = "") {
    const std::string root = kRoots[part];
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" + root;
    for (const std::string& item : kForeign[part])
        text += space + item + (&item == &kForeign[part][0] ? own : "");
    return text + space + "</" + root.substr(1, root.find(' ') - 1) + ">\r\n";
}

// Morvane's item ids in a file in their order, then how many notes it has.
std::vector<std::string> Own(const std::string& text) {
    std::vector<std::string> own;
    const std::string uid = std::string("uid=\"") + kOwnGppUid;
    for (size_t at = text.find(uid); at != std::string::npos; at = text.find(uid, at + 1))
        own.push_back(text.substr(at + 5, 38));
    size_t notes = 0;
    for (size_t at = text.find("<!-- morvanectl:"); at != std::string::npos;
         at = text.find("<!-- morvanectl:", at + 1))
        ++notes;
    own.push_back(std::to_string(notes) + " notes");
    return own;
}

// An item that an older morvanectl wrote, with its note.
std::string StaleItem() {
    return std::string("<Registry clsid=\"{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}\" name=\"Old\" "
                       "image=\"2\" changed=\"2024-01-01 00:00:00\" uid=\"") +
           kOwnGppUid +
           "000-8000-000000000000}\"><Properties action=\"D\" hive=\"HKEY_CURRENT_USER\" "
           "key=\"Software\\Quelt\" name=\"Old\"/></Registry><!-- morvanectl: old -->";
}

// A GPO of these three files ("" for none), with the presets exported into it.
void MakeGpo(const std::string& gpo, const std::vector<std::string>& files,
             const std::vector<std::string>& presets) {
    RemoveGpp(gpo);
    for (int part = 0; part < 3; ++part)
        if (!files[part].empty()) {
            std::filesystem::create_directories(
                std::filesystem::path(gpo + "\\" + kGppParts[part]).parent_path());
            WriteFile(gpo + "\\" + kGppParts[part], files[part]);
        }
    TempFile preset("earlier.preset");
    for (const std::string& text : presets) {
        preset.Write(text);
        ASSERT_EQ(Ctl({"export", "gpp", preset.path, gpo}).code, kDone) << text;
    }
}

// The file after an update: morvanectl's items and notes as `wanted`, and
// when it held foreign items, its root and each of them as they were.
void ExpectUpdated(const char* what, int part, const std::string& now, bool foreign,
                   const std::vector<std::string>& wanted) {
    EXPECT_EQ(Own(now), wanted) << what << ": " << kGppParts[part];
    if (!foreign)
        return;
    EXPECT_NE(now.find(kRoots[part]), std::string::npos) << what << ":\n" << now;
    size_t at = 0;
    for (const std::string& item : kForeign[part]) {
        at = now.find(item, at);
        EXPECT_NE(at, std::string::npos) << what << ": lost\n" << item << "\nin\n" << now;
    }
}

// Morvane's items and notes in each file of an export into an empty GPO.
std::vector<std::vector<std::string>> OwnOfFresh(const std::string& preset) {
    TempFile fresh("fresh-gpo");
    EXPECT_EQ(Ctl({"export", "gpp", preset, fresh.path}).code, kDone);
    std::vector<std::vector<std::string>> own;
    for (const char* part : kGppParts)
        own.push_back(Own(ReadFile(fresh.path + "\\" + part)));
    RemoveGpp(fresh.path);
    return own;
}

// An export into a GPO that holds other preferences: Morvane's items (by
// their ids) and notes are replaced, everything else is kept; a file that
// is not Group Policy preferences, or cut short, is refused with every file
// as it was. The GPOs written stay for ctl_export_check (xmllint, ids).
TEST_F(ExportTest, GroupPolicyUpdateKeepsEveryOtherPreference) {
    const std::string other = "usability/show-hidden-files = on\ngeneral/store-lm-hash = off\n"
                              "services/time-synchronization = on\n";
    const std::string files[] = {ForeignFile(0, ""), ForeignFile(1, ""), ForeignFile(2, "\r\n\t")};
    const std::string& cut = files[2];
    struct Case {
        const char* what;
        std::vector<std::string> earlier; // presets exported into the GPO first
        std::vector<std::string> before;  // its three files, "" for none
        int code;
    };
    // clang-format off
    const Case cases[] = {
        {"foreign items", {}, {files[0], files[1], files[2]}, kDone},
        {"an earlier export of another preset", {other}, {files[0], files[1], files[2]}, kDone},
        {"the same preset twice", {kFour}, {"", "", ""}, kDone},
        {"twice over foreign items", {kFour, other, kFour}, {files[0], "", files[2]}, kDone},
        {"an older item among foreign ones", {}, {ForeignFile(0, "", StaleItem()), "",
         ForeignFile(2, "\r\n\t", "\r\n\t" + StaleItem())}, kDone},
        {"another kind of preferences", {}, {"<?xml version=\"1.0\"?>\r\n<ScheduledTasks "
         "clsid=\"{CC63F200-7309-4ba0-B154-A71CD118DBCC}\"/>", files[1], files[2]}, kBadInput},
        {"another class id", {}, {files[0], "<NTServices clsid=\"{00000000-0000-0000-0000-"
         "000000000000}\"/>", files[2]}, kBadInput},
        {"not XML", {}, {files[0], "Spooler = disabled\r\n", ""}, kBadInput},
        {"cut short", {}, {files[0], files[1], cut.substr(0, cut.size() / 2)}, kBadInput},
        {"cut short in its end tag", {}, {files[0], "", cut.substr(0, cut.size() - 4)}, kBadInput},
        {"UTF-16", {}, {std::string("\xFF\xFE<\0?\0x\0m\0l\0", 12), files[1], files[2]}, kBadInput},
        {"a document type", {}, {"<!DOCTYPE r [<!ENTITY a \"aaaa\">]><RegistrySettings "
         "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">&a;</RegistrySettings>", "", ""},
         kBadInput},
    };
    // clang-format on
    const std::vector<std::vector<std::string>> wanted = OwnOfFresh(preset.path);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string gpo = kOut + "\\merge\\" + std::to_string(i);
        ASSERT_NO_FATAL_FAILURE(MakeGpo(gpo, c.before, c.earlier));
        std::string was[3];
        for (int part = 0; part < 3; ++part)
            was[part] = ReadFile(gpo + "\\" + kGppParts[part]);
        const Result r = Ctl({"export", "gpp", preset.path, gpo});
        EXPECT_EQ(r.code, c.code) << c.what << ": " << r.err;
        for (int part = 0; part < 3; ++part) {
            const std::string now = ReadFile(gpo + "\\" + kGppParts[part]);
            if (c.code == kDone)
                ExpectUpdated(c.what, part, now, !c.before[part].empty(), wanted[part]);
            else
                EXPECT_EQ(now, was[part]) << c.what << ": " << kGppParts[part];
        }
        if (c.code == kDone)
            continue;
        EXPECT_NE(r.err.find(" is not Group Policy preferences that export gpp can update: "),
                  std::string::npos)
            << c.what << ": " << r.err;
        EXPECT_TRUE(r.err.ends_with("; nothing was exported\n")) << r.err;
        RemoveGpp(gpo);
    }
}

TEST_F(ExportTest, BadInputWritesNothing) {
    TempFile existing("a-file-not-a-folder"), out("never.yml"), gpo("never-gpo");
    existing.Write("keep me");
    TempFile broken("broken.preset");
    broken.Write("general/store-lm-hash = on\nusability/show-hiden-files = on\n");
    const std::vector<std::vector<std::string>> bad = {
        {"export", "yaml", preset.path, out.path},
        {"export", "gpp", preset.path},
        {"export", "ansible"},
        {"export", "ansible", preset.path, out.path, "extra"},
        {"export", "ansible", broken.path, out.path},
        {"export", "gpp", broken.path, gpo.path},
        {"export", "ansible", preset.path + ".missing", out.path},
        {"export", "ansible", preset.path, "C:\\no-such-folder-anywhere\\p.yml"},
        {"export", "gpp", preset.path, existing.path},
        {"export", "gpp", preset.path, "C:\\no-such-folder-anywhere\\gpo"},
        {"--user", "no-such-user-anywhere", "export", "ansible", preset.path, out.path},
        {"--hive", "C:\\Users\\Default\\NTUSER.DAT", "export", "reg", preset.path, out.path},
        {"--hive", "C:\\Users\\Default\\NTUSER.DAT", "export", "gpp", preset.path, gpo.path},
        {"export", "reg", preset.path},
    };
    for (const auto& args : bad) {
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
        EXPECT_TRUE(r.err.starts_with("morvanectl: ")) << r.err;
        EXPECT_FALSE(out.Exists()) << testing::PrintToString(args);
        EXPECT_FALSE(gpo.Exists()) << testing::PrintToString(args);
        EXPECT_EQ(GetFileAttributesA("C:\\no-such-folder-anywhere"), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(existing.Read(), "keep me");

    // The machine's files are written before the user's part fails: they go again.
    TempFile gpoFolder("half-gpo");
    ASSERT_TRUE(CreateDirectoryA(gpoFolder.path.c_str(), nullptr));
    const std::string blocker = gpoFolder.path + "\\User";
    WriteFile(blocker, "a file where the User folder would be");
    EXPECT_EQ(Ctl({"export", "gpp", preset.path, gpoFolder.path}).code, kBadInput);
    EXPECT_EQ(GetFileAttributesA((gpoFolder.path + "\\Machine").c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(blocker.c_str());
    RemoveDirectoryA(gpoFolder.path.c_str());
    const Result r = Ctl(bad[4]);
    EXPECT_EQ(r.err, "morvanectl: " + broken.path +
                         ": line 2: unknown tweak \"usability/show-hiden-files\"; did you mean "
                         "usability/show-hidden-files?\nmorvanectl: nothing was exported\n");
    EXPECT_EQ(Ctl(bad[0]).err, "morvanectl: unknown export format \"yaml\": ansible, gpp or reg\n"
                               "Try \"morvanectl --help\".\n");
}

std::string ReadWide(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWide(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every file an export writes: under any name (the system's wide
// functions), an existing file replaced only with --force, whole or not at
// all, with no temporary left beside it.
TEST_F(ExportTest, FilesAreWrittenWholeUnderAnyNameAndReplacedOnlyWithForce) {
    const std::filesystem::path base(Wide(TempFile("outs-\xC3\xA9").path));
    std::filesystem::remove_all(base);
    ASSERT_TRUE(std::filesystem::create_directory(base));
    struct Case {
        const char* format;
        std::string out;      // below base
        const char* existing; // the file there before, or null
        bool force;
        int code;
        const char* starts; // the file written, or in the folder written
    };
    const std::string gppFile = "\\Machine\\Preferences\\Registry\\Registry.xml";
    // clang-format off
    const Case cases[] = {
        {"gpp", "gpo-caf\xC3\xA9", nullptr, false, kDone, "<?xml"},
        {"ansible", "caf\xC3\xA9 \xE5\x90\x8D.yml", nullptr, false, kDone, "---\n"},
        {"reg", "caf\xC3\xA9 \xE5\x90\x8D.reg", nullptr, false, kDone, "\xFF\xFE"},
        {"ansible", "old.yml", "keep me", false, kBadInput, "keep me"},
        {"reg", "old.reg", "keep me", false, kBadInput, "keep me"},
        {"ansible", "forced.yml", "replace me", true, kDone, "---\n"},
        {"reg", "forced.reg", "replace me", true, kDone, "\xFF\xFE"},
    };
    // clang-format on
    std::set<std::wstring> wanted;
    for (const Case& c : cases) {
        const std::filesystem::path out = base / Wide(c.out);
        if (c.existing)
            WriteWide(out, c.existing);
        std::vector<std::string> args = {"export", c.format, preset.path, Utf8(out.wstring())};
        if (c.force)
            args.push_back("--force");
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, c.code) << c.out << ": " << r.err;
        if (c.code == kBadInput) {
            EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
        }
        const bool folder = std::string(c.format) == "gpp";
        const std::string text = ReadWide(folder ? out.wstring() + Wide(gppFile) : out.wstring());
        EXPECT_TRUE(text.starts_with(c.starts)) << c.out << ": " << text.substr(0, 20);
        wanted.insert(out.filename().wstring());
    }
    std::set<std::wstring> found;
    for (const auto& entry : std::filesystem::directory_iterator(base))
        found.insert(entry.path().filename().wstring());
    EXPECT_EQ(found, wanted);

    // A failed export leaves the GPO's files as they were, though the
    // machine's files were ready before the user's part failed.
    std::filesystem::remove_all(base);
    const std::filesystem::path gpo(Wide(TempFile("gpo-half").path));
    std::filesystem::create_directories(gpo / L"Machine\\Preferences\\Registry");
    const std::string old = "<RegistrySettings clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\"/>";
    WriteWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml", old);
    WriteWide(gpo / L"User", "a file where the User folder would be");
    const auto files = [&gpo] {
        std::set<std::wstring> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(gpo))
            names.insert(std::filesystem::relative(entry.path(), gpo).wstring());
        return names;
    };
    const std::set<std::wstring> before = files();
    EXPECT_EQ(before.size(), 5u);
    Result r = Ctl({"export", "gpp", preset.path, Utf8(gpo.wstring())});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("cannot write "), std::string::npos) << r.err;
    EXPECT_EQ(ReadWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml"), old);
    EXPECT_EQ(files(), before);

    // Renamed into place last: the user's file held open (it can be read,
    // not replaced), the machine's files that were already replaced are put
    // back.
    std::filesystem::remove(gpo / L"User");
    const std::filesystem::path user = gpo / L"User\\Preferences\\Registry\\Registry.xml";
    std::filesystem::create_directories(user.parent_path());
    WriteWide(user, old + " ");
    const std::set<std::wstring> held = files();
    const HANDLE hold = CreateFileW(user.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    r = Ctl({"export", "gpp", preset.path, Utf8(gpo.wstring())});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("cannot write "), std::string::npos) << r.err;
    CloseHandle(hold);
    EXPECT_EQ(ReadWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml"), old);
    EXPECT_EQ(ReadWide(user), old + " ");
    EXPECT_EQ(files(), held);
    std::filesystem::remove_all(gpo);
}

} // namespace

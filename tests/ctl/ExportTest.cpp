// export ansible|gpp|reg: what the files say for known rows, the input they
// refuse, and for the checks on the build machine (ctl_export_check) the
// exports of all fifty on and all fifty off beside the sandboxed registry
// before and after apply of the same preset, the programs apply started,
// and the registry that Wine's reg.exe import of the .reg export gave.
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/RegFile.h"
#include "ctl/Text.h"
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
// ends at once with exit code 0.
std::vector<std::string> g_started;
RunResult RecordStart(const char* file, const char* parameters, int, DWORD) {
    g_started.push_back(std::string(file) + "\t" + parameters);
    return {.outcome = RunResult::Ended};
}
struct StartRecorder {
    RunAndWaitFn previous = g_pfnRunAndWait;
    StartRecorder() {
        g_started.clear();
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
    r = Ctl({"--hive", "C:\\Users\\Default\\NTUSER.DAT", "export", "gpp", preset.path,
             folder + "\\gpo-hive"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.err.find("morvanectl: gpp cannot express a profile file"), std::string::npos)
        << r.err;
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
// --list-tasks, Ansible's templating, xmllint); what would break a line or
// the file is refused with nothing written.
TEST(ExportSafetyTest, HostilePathsAreWrittenAsDataOrRefused) {
    const std::string folder = kOut + "\\hostile";
    CreateDirectoryA(kOut.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string pwned = "{{ lookup('pipe', 'touch morvane-pwned') }}";
    struct Case {
        std::string hive, preset; // the preset's file name
        bool ansible, gpp;        // written, else refused
    };
    // clang-format off
    const Case cases[] = {
        {"C:\\" + pwned + "\\NTUSER.DAT", "p.preset", true, true},
        {"C:\\{% for x in range(3) %}" + pwned + "{% endfor %}\\a.dat", "p.preset", true, true},
        {"C:\\it's \"quoted\" # no comment: - x\\NTUSER.DAT", "p.preset", true, true},
        {"C:\\&anchor *alias !tag %x @y `z` [a] {b}\\NTUSER.DAT", "p.preset", true, true},
        {"C:\\a & b <c> ]]> --x-- -\\NTUSER.DAT-", "p.preset", true, true},
        {"C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD1\x84\xD0\xB8\xD0\xBB\xD1\x8C\\\xE5\x90\x8D.dat", "p.preset", true, true},
        {"C:\\Default\\NTUSER.DAT", pwned + " #'x.preset", true, true},
        {"C:\\x.dat\n- name: Pwn\n  hosts: all\n  tasks:\n    - ansible.windows.win_command: cmd /c calc\n#", "p.preset", false, false},
        {"C:\\x\r.dat", "p.preset", false, false},
        {"C:\\x\xE2\x80\xA8- name: Pwn.dat", "p.preset", false, false},
        {"C:\\x\xE2\x80\xA9.dat", "p.preset", false, false},
        {"C:\\x\xC2\x85.dat", "p.preset", false, false},
        {"C:\\x\x01.dat", "p.preset", false, false},
        {"C:\\x\x1B[31m.dat", "p.preset", false, false},
        {"C:\\x\x7F.dat", "p.preset", false, false},
        {"C:\\x\t.dat", "p.preset", false, false},
        {"C:\\Default\\NTUSER.DAT", "p\xE2\x80\xA8- name: Pwn.preset", false, true},
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
            const bool wanted = ansible ? c.ansible : c.gpp;
            EXPECT_EQ(r.code, wanted ? kDone : kBadInput) << i << (ansible ? " ansible" : " gpp");
            EXPECT_EQ(GetFileAttributesA(out.c_str()) != INVALID_FILE_ATTRIBUTES, wanted) << i;
            if (!wanted) {
                EXPECT_NE(r.err.find("which cannot be written safely into "), std::string::npos)
                    << r.err;
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
    EXPECT_EQ(r.err, "morvanectl: gpp cannot express " + why + "\n");
    const std::string machine =
        ReadFile(gpo.path + "\\Machine\\Preferences\\Registry\\Registry.xml");
    const std::string services =
        ReadFile(gpo.path + "\\Machine\\Preferences\\Services\\Services.xml");
    const std::string user = ReadFile(gpo.path + "\\User\\Preferences\\Registry\\Registry.xml");
    EXPECT_TRUE(machine.starts_with(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RegistrySettings "
        "clsid=\"{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}\">\r\n\t<!-- morvanectl: not expressible "
        "in Group Policy Preferences: " +
        why + " -->\r\n"))
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
             "<Properties action=\"U\" displayDecimal=\"1\" default=\"0\" "
             "hive=\"HKEY_CURRENT_USER\" key=\"Software\\Quelt\" name=\"Compressed Folder\" "
             "type=\"REG_SZ\" value=\"1\"/>",
         })
        EXPECT_NE(user.find(item), std::string::npos) << item << "\nin\n" << user;
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
             "hive=\"HKEY_USERS\" key=\"S-1-5-21-1-2-3-1013\\Software\\Quelt\" "
             "name=\"Compressed Folder\" type=\"REG_SZ\" value=\"1\"/>",
             "hive=\"HKEY_LOCAL_MACHINE\" key=\"SYSTEM\\CurrentControlSet\\Control\\Lsa\" "
             "name=\"nolmhash\"",
         })
        EXPECT_NE(machine.find(item), std::string::npos) << item << "\nin\n" << machine;
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user.find("<Properties"), std::string::npos) << user;
    EXPECT_EQ(machine.find("HKEY_CURRENT_USER"), std::string::npos) << machine;
    RemoveGpp(gpo.path);
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
    WriteWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml", "old");
    WriteWide(gpo / L"User", "a file where the User folder would be");
    const auto files = [&gpo] {
        std::set<std::wstring> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(gpo))
            names.insert(std::filesystem::relative(entry.path(), gpo).wstring());
        return names;
    };
    const std::set<std::wstring> before = files();
    EXPECT_EQ(before.size(), 5u);
    EXPECT_EQ(Ctl({"export", "gpp", preset.path, Utf8(gpo.wstring())}).code, kBadInput);
    EXPECT_EQ(ReadWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml"), "old");
    EXPECT_EQ(files(), before);

    // Renamed into place last: the user's file held open, the machine's
    // files that were already replaced are put back.
    std::filesystem::remove(gpo / L"User");
    const std::filesystem::path user = gpo / L"User\\Preferences\\Registry\\Registry.xml";
    std::filesystem::create_directories(user.parent_path());
    WriteWide(user, "old user");
    const std::set<std::wstring> held = files();
    const HANDLE hold =
        CreateFileW(user.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Ctl({"export", "gpp", preset.path, Utf8(gpo.wstring())}).code, kBadInput);
    CloseHandle(hold);
    EXPECT_EQ(ReadWide(gpo / L"Machine\\Preferences\\Registry\\Registry.xml"), "old");
    EXPECT_EQ(ReadWide(user), "old user");
    EXPECT_EQ(files(), held);
    std::filesystem::remove_all(gpo);
}

} // namespace

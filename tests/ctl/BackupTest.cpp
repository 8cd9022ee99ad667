// Backups, restores and presets with hostile and unusual input, in-process
// in the registry sandbox: names and text outside the code page, damaged
// files and files that reach outside what a backup covers, UTF-16 presets,
// automatic backup names, and a flood of bad lines.
#include "ctl/BackupFiles.h"
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/formats/Files.h"
#include "support/Cells.h"
#include "system/ErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sddl.h>

namespace {

const std::wstring VERB = L"*\\shell\\edit";
const std::string ADVANCED = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const std::string MAIN = "Software\\Microsoft\\Internet Explorer\\Main";
const std::string STORE = "Software\\Quelt";
const char kEnd[] = "; End of the morvanectl backup.\r\n";

// Nobody may read the key while this lives; then it is open to all again.
struct UnreadableKey {
    HKEY hKey = nullptr;
    bool denied = false;
    UnreadableKey(HKEY root, const std::wstring& key) {
        if (RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &hKey) == ERROR_SUCCESS)
            denied = SetAcl("D:P(D;OICI;KR;;;WD)");
    }
    ~UnreadableKey() {
        if (hKey) {
            SetAcl("D:P(A;OICI;KA;;;WD)");
            RegCloseKey(hKey);
        }
    }
    bool SetAcl(const char* sddl) const {
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, 1, &sd, nullptr))
            return false;
        const bool set = RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
        LocalFree(sd);
        return set;
    }
};

class BackupTest : public testing::Test {
protected:
    RegistrySandbox sandbox;

    // A backup of the sandbox as it is, and its text.
    std::string Backup(const WideFile& file) {
        const Result r = Ctl({"backup", file.path});
        EXPECT_EQ(r.code, kDone) << r.err;
        const std::optional<std::string> text = Utf8Text(file.Read());
        EXPECT_TRUE(text) << "not UTF-16LE with a byte-order mark";
        return text.value_or("");
    }
};

// The number of the line in `text` that holds byte `at`.
int LineAt(const std::string& text, size_t at) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

TEST_F(BackupTest, NamesAndTextOutsideTheCodePageAreKeptNeverTurnedIntoADeletion) {
    ASSERT_TRUE(PutWide(HKEY_CLASSES_ROOT, VERB + L"\\ключ", L"", L"x"));
    ASSERT_TRUE(PutWide(HKEY_CLASSES_ROOT, VERB + L"\\command", L"名前", L"テキスト ключ"));
    ASSERT_TRUE(PutWide(HKEY_CURRENT_USER, W(MAIN), L"Start Page", L"http://пример.invalid/名前"));
    WideFile file("резерв-名前.reg");
    const Snapshot before = sandbox.Snapshot();
    const std::string text = Backup(file);
    EXPECT_TRUE(sandbox.Snapshot() == before);
    EXPECT_TRUE(file.Exists());
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n\r\n;")) << text;
    EXPECT_TRUE(text.ends_with(std::string("\r\n\r\n") + kEnd)) << text;
    for (const char* section : {
             // The verb exists: its keys and values come back, and only the
             // defaults a check would create, which do not exist, go.
             "\r\n[HKEY_CLASSES_ROOT\\*\\shell\\edit]\r\n@=-\r\n\r\n",
             "\r\n[HKEY_CLASSES_ROOT\\*\\shell\\edit\\command]\r\n\"名前\"=\"テキスト ключ\"\r\n"
             "@=-\r\n\r\n",
             "\r\n[HKEY_CLASSES_ROOT\\*\\shell\\edit\\ключ]\r\n@=\"x\"\r\n\r\n",
             "\r\n\"Start Page\"=\"http://пример.invalid/名前\"\r\n",
         })
        EXPECT_NE(text.find(section), std::string::npos) << section << "\nin\n" << text;
    EXPECT_EQ(text.find("[-"), std::string::npos) << text;
    EXPECT_TRUE(KeepForHivex(file.path, "outside-code-page"));

    // A backup written for a missing verb deletes it, and only then.
    RegDeleteTreeW(HKEY_CLASSES_ROOT, VERB.c_str());
    WideFile without("without-verb.reg");
    EXPECT_TRUE(Backup(without).ends_with(
        std::string("\r\n[-HKEY_CLASSES_ROOT\\*\\shell\\edit]\r\n\r\n") + kEnd));
    EXPECT_TRUE(KeepForHivex(without.path, "without-verb"));

    // A verb with only some of what a check creates: what is missing goes.
    ASSERT_TRUE(PutWide(HKEY_CLASSES_ROOT, VERB, L"", L"Bearbeiten"));
    WideFile partial("partial-verb.reg");
    const std::string partialText = Backup(partial);
    EXPECT_NE(partialText.find("\r\n[HKEY_CLASSES_ROOT\\*\\shell\\edit]\r\n@=\"Bearbeiten\"\r\n\r\n"
                               "[-HKEY_CLASSES_ROOT\\*\\shell\\edit\\command]\r\n\r\n"),
              std::string::npos)
        << partialText;
    EXPECT_TRUE(KeepForHivex(partial.path, "partial-verb"));
}

// A key of the verb that cannot be read: no backup rather than one that
// would lose it.
TEST_F(BackupTest, ABackupThatCannotBeExactIsNotWritten) {
    ASSERT_TRUE(PutWide(HKEY_CLASSES_ROOT, VERB + L"\\locked", L"", L"x"));
    WideFile file("unreadable.reg");
    Result r;
    {
        const UnreadableKey locked(HKEY_CLASSES_ROOT, VERB + L"\\locked");
        ASSERT_TRUE(locked.denied);
        r = Ctl({"backup", file.path});
    }
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find("no backup made: cannot read HKCR\\*\\shell\\edit whole: "),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(file.Exists());
}

// Each kind of damage and each reach outside the covered keys: refused
// before anything is imported, with the first offending line.
TEST_F(BackupTest, RestoreRefusesADamagedOrReachingFileNamingItsFirstBadLine) {
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 2);
    PutString(HKEY_CURRENT_USER, MAIN.c_str(), "Start Page", "http://example.invalid/");
    WideFile file("good.reg"), damaged("damaged.reg");
    const std::string text = Backup(file);
    ASSERT_TRUE(KeepForHivex(file.path, "restore-source"));
    const size_t startPage = text.find("\"Start Page\"=\"http://exa");
    const size_t hidden = text.find("\"Hidden\"=dword:00000002");
    const size_t end = text.find(kEnd);
    const size_t winlogon = text.find("\\Winlogon]\r\n");
    ASSERT_NE(startPage, std::string::npos);
    ASSERT_NE(hidden, std::string::npos);
    ASSERT_NE(winlogon, std::string::npos);
    const size_t afterWinlogon = winlogon + strlen("\\Winlogon]\r\n");
    auto dword = [&](const char* digits) {
        return Utf16File(
            std::string(text).replace(hidden + strlen("\"Hidden\"=dword:"), 8, digits));
    };
    auto dwordRefused = [](const char* digits) {
        return "dword: needs eight hex digits: \"\"Hidden\"=dword:" + std::string(digits) + "\"";
    };
    const std::string run =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
        "\"Updater\"=\"C:\\\\evil.exe\"\r\n\r\n";

    struct Case {
        const char* what;
        std::string bytes;
        int line;
        std::string message;
        bool hivexRefuses;
    };
    const std::vector<Case> cases = {
        {"cut mid-value", Utf16File(text.substr(0, startPage + 24)), LineAt(text, startPage),
         "a text value must be one quoted text: \"\"Start Page\"=\"http://exa\"", true},
        {"dword:zzzz", dword("zzzz"), LineAt(text, hidden), dwordRefused("zzzz"), true},
        {"dword:2", dword("2"), LineAt(text, hidden), dwordRefused("2"), false},
        {"dword: bare", dword(""), LineAt(text, hidden), dwordRefused(""), false},
        {"dword: nine digits", dword("000000002"), LineAt(text, hidden), dwordRefused("000000002"),
         false},
        {"cut before its last line", Utf16File(text.substr(0, end)), LineAt(text, end) - 1,
         "the file ends without its last line \"; End of the morvanectl backup.\": it is cut "
         "short",
         false},
        {"cut in a character", Utf16File(text).substr(0, 2 + 2 * end + 1), LineAt(text, end),
         "the file ends in the middle of a character: it is cut short", false},
        {"a Run key", Utf16File(text.substr(0, end) + run + text.substr(end)), LineAt(text, end),
         "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run is outside what a backup covers",
         false},
        {"a Run key after the end", Utf16File(text + run), LineAt(text, text.size()),
         "text after the end of the backup: \"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
         "CurrentVersion\\Run]\"",
         false},
        {"a tree deleted",
         Utf16File(text.substr(0, end) + "[-HKEY_CURRENT_USER\\Software\\Microsoft]\r\n\r\n" +
                   text.substr(end)),
         LineAt(text, end),
         "deletes HKCU\\Software\\Microsoft, which is outside what a backup covers", false},
        // A key a tweak reads values of, but no key a tweak deletes.
        {"a service's key deleted",
         Utf16File(text.substr(0, end) +
                   "[-HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\WerSvc]\r\n\r\n" +
                   text.substr(end)),
         LineAt(text, end),
         "deletes HKLM\\System\\CurrentControlSet\\Services\\WerSvc, which is outside what a "
         "backup covers",
         false},
        {"a value of a covered key that no tweak touches",
         Utf16File(text.substr(0, afterWinlogon) + "\"Shell\"=\"evil.exe\"\r\n" +
                   text.substr(afterWinlogon)),
         LineAt(text, afterWinlogon),
         "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon : Shell is outside "
         "what a backup covers",
         false},
        {"an empty part in a key",
         Utf16File(text.substr(0, end) + "[HKEY_CLASSES_ROOT\\*\\shell\\edit\\\\x]\r\n\r\n" +
                   text.substr(end)),
         LineAt(text, end),
         "a key name with an empty part: \"[HKEY_CLASSES_ROOT\\*\\shell\\edit\\\\x]\"", false},
        // An import keeps the last; the check after it would compare the first.
        {"a value given twice",
         Utf16File(std::string(text).insert(text.find("\r\n", hidden) + 2,
                                            "\"Hidden\"=dword:00000001\r\n")),
         LineAt(text, hidden) + 1,
         "HKCU\\" + ADVANCED + " : Hidden is given twice (first on line " +
             std::to_string(LineAt(text, hidden)) + ")",
         false},
        {"a value given again in another section of its key, in other letters",
         Utf16File(text.substr(0, end) +
                   "[HKEY_CURRENT_USER\\software\\microsoft\\windows\\currentversion\\explorer\\"
                   "advanced]\r\n\"hidden\"=-\r\n\r\n" +
                   text.substr(end)),
         LineAt(text, end) + 1,
         "HKCU\\software\\microsoft\\windows\\currentversion\\explorer\\advanced : hidden is "
         "given twice (first on line " +
             std::to_string(LineAt(text, hidden)) + ")",
         false},
        {"not a .reg file", "usability/show-hidden-files = on\r\n", 1,
         "not a backup: a backup is UTF-16 text that begins with a byte-order mark", false},
        {"REGEDIT4", Utf16File("REGEDIT4\r\n\r\n" + text.substr(text.find("\r\n\r\n") + 4)), 1,
         "not a backup: the first line is not \"Windows Registry Editor Version 5.00\"", false},
    };
    const Snapshot before = sandbox.Snapshot();
    int kept = 0;
    for (const Case& c : cases) {
        damaged.Write(c.bytes);
        for (bool dryRun : {false, true}) {
            const Result r = dryRun ? Ctl({"restore", damaged.path, "--dry-run"})
                                    : Ctl({"restore", damaged.path});
            EXPECT_EQ(r.code, kBadInput) << c.what;
            EXPECT_EQ(r.out, "") << c.what;
            EXPECT_EQ(r.err, "morvanectl: " + damaged.path + ": line " + std::to_string(c.line) +
                                 ": " + c.message + "\nmorvanectl: nothing was restored\n")
                << c.what;
        }
        if (c.hivexRefuses) {
            EXPECT_TRUE(KeepForHivex(damaged.path, "refused-" + std::to_string(++kept), true));
        }
    }
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
}

TEST_F(BackupTest, RestoreDryRunListsWhatWouldChangeAndChangesNothing) {
    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 2);
    PutString(HKEY_CURRENT_USER, MAIN.c_str(), "Start Page", "about:x");
    WideFile file("dry.reg");
    Backup(file);

    Result r = Ctl({"restore", "--dry-run", file.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_EQ(r.out, "Restoring " + file.path + " would change nothing\n");

    PutDword(HKEY_CURRENT_USER, ADVANCED.c_str(), "Hidden", 1);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, MAIN.c_str(), "Start Page");
    ASSERT_EQ(Ctl({"set", "usability/notepad-in-context-menu", "on"}).code, kDone);
    const Snapshot before = sandbox.Snapshot();
    r = Ctl({"restore", file.path, "--dry-run"});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
    const std::string header = "Restoring " + file.path + " would make 4 changes:\n";
    ASSERT_TRUE(r.out.starts_with(header)) << r.out;
    std::vector<std::string> lines;
    for (size_t at = header.size(); at < r.out.size();) {
        const size_t eol = r.out.find('\n', at);
        lines.push_back(r.out.substr(at, eol - at));
        at = eol + 1;
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "  delete HKCU\\Software\\Quelt : Edit Window (now DWORD 1)",
                         "  delete key HKCR\\*\\shell\\edit with its subkeys",
                         "  set HKCU\\Software\\Microsoft\\Internet Explorer\\Main : Start Page = "
                         "SZ \"about:x\" (now missing)",
                         "  set HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                         "Advanced : Hidden = DWORD 2 (now DWORD 1)",
                     }));
}

// A value the backup deletes, in a key that cannot be read now: the dry run
// names the deletion and why the value cannot be read.
TEST_F(BackupTest, RestoreDryRunWordsAnUnreadableValueUnderADeletionAsThatDeletion) {
    WideFile file("unreadable-deletion.reg");
    const std::string text = Backup(file);
    ASSERT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quelt]\r\n\"Compressed Folder\"=-\r\n"
                        "\"Edit Window\"=-\r\n"),
              std::string::npos)
        << text;
    ASSERT_EQ(Ctl({"set", "usability/notepad-in-context-menu", "on"}).code, kDone);
    Result r;
    {
        const UnreadableKey locked(HKEY_CURRENT_USER, L"Software\\Quelt");
        ASSERT_TRUE(locked.denied);
        r = Ctl({"restore", file.path, "--dry-run"});
    }
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("\n  delete HKCU\\Software\\Quelt : Edit Window (now unreadable: " +
                         ErrorText(ERROR_ACCESS_DENIED) + ")\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("type 0"), std::string::npos) << r.out;
}

// The same preset in each encoding an editor writes: one reading, the same
// line numbers, a name outside the code page shown as it is.
TEST_F(BackupTest, PresetsReadAsUtf8OrUtf16WithAByteOrderMark) {
    const std::string bad = "# コメント\r\nusability/show-hidden-files = on\r\nnamé = off\r\n";
    const std::string good = "# コメント\r\nusability/show-hidden-files = on\r\n";
    auto bigEndian = [](std::string littleEndian) {
        for (size_t i = 0; i + 1 < littleEndian.size(); i += 2)
            std::swap(littleEndian[i], littleEndian[i + 1]);
        return littleEndian;
    };
    const std::vector<std::pair<const char*, std::function<std::string(const std::string&)>>>
        encodings = {
            {"UTF-8", [](const std::string& t) { return t; }},
            {"UTF-8 with BOM", [](const std::string& t) { return "\xEF\xBB\xBF" + t; }},
            {"UTF-16LE", [](const std::string& t) { return Utf16File(t); }},
            {"UTF-16BE", [&](const std::string& t) { return bigEndian(Utf16File(t)); }},
        };
    WideFile preset("пресет-名前.preset");
    for (const auto& [name, encode] : encodings) {
        preset.Write(encode(bad));
        Result r = Ctl({"apply", preset.path, "--dry-run"});
        EXPECT_EQ(r.code, kBadInput) << name;
        EXPECT_NE(r.err.find(preset.path + ": line 3: unknown tweak \"namé\""), std::string::npos)
            << name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << name << ": " << r.err;
        preset.Write(encode(good));
        r = Ctl({"apply", preset.path, "--dry-run"});
        EXPECT_EQ(r.code, kDone) << name << ": " << r.err;
        EXPECT_NE(r.out.find("usability/show-hidden-files = on (dry run)\n"), std::string::npos)
            << name;
        // One byte short: a UTF-16 file ends in the middle of a character.
        if (!std::string_view(name).starts_with("UTF-16"))
            continue;
        const std::string whole = encode(good);
        preset.Write(whole.substr(0, whole.size() - 1));
        r = Ctl({"apply", preset.path, "--dry-run"});
        EXPECT_EQ(r.code, kBadInput) << name;
        EXPECT_EQ(r.err, "morvanectl: " + preset.path +
                             ": line 2: the file ends in the middle of a UTF-16 character\n"
                             "morvanectl: nothing was applied\n")
            << name;
    }
    // UTF-16 without its mark is not taken for text.
    preset.Write(Utf16File(good).substr(2));
    const Result r = Ctl({"apply", preset.path, "--dry-run"});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_NE(r.err.find(": line 1: not text"), std::string::npos) << r.err;
}

TEST_F(BackupTest, AutomaticBackupNamesNeverCollide) {
    wchar_t temp[MAX_PATH], previous[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetCurrentDirectoryW(MAX_PATH, previous);
    const std::wstring folder =
        std::wstring(temp) + L"morvanectl-names-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    WideFile preset("names.preset");
    preset.Write("usability/show-hidden-files = on\r\n");
    for (int run = 0; run < 4; ++run) {
        const Result r = Ctl({"apply", preset.path});
        EXPECT_EQ(r.code, kDone) << run << ": " << r.err;
    }
    // Taken whatever the stamp: a name that exists gets a counter.
    std::string taken;
    ASSERT_EQ(WriteNewFile("fixed.reg", "first"), ERROR_SUCCESS);
    EXPECT_EQ(WriteNewNumberedFile("fixed", ".reg", "second", &taken), ERROR_SUCCESS);
    EXPECT_EQ(taken, "fixed-2.reg");
    EXPECT_EQ(WriteNewNumberedFile("fixed", ".reg", "third", &taken), ERROR_SUCCESS);
    EXPECT_EQ(taken, "fixed-3.reg");

    std::vector<std::string> backups;
    WIN32_FIND_DATAW found;
    HANDLE hFind = FindFirstFileW(L"*.reg", &found);
    for (BOOL more = hFind != INVALID_HANDLE_VALUE; more; more = FindNextFileW(hFind, &found))
        backups.push_back(U(found.cFileName));
    FindClose(hFind);
    SetCurrentDirectoryW(previous);
    std::sort(backups.begin(), backups.end());
    ASSERT_EQ(backups.size(), 7u) << testing::PrintToString(backups);
    EXPECT_EQ(std::vector<std::string>(backups.begin(), backups.begin() + 3),
              (std::vector<std::string>{"fixed-2.reg", "fixed-3.reg", "fixed.reg"}));
    for (int i = 3; i < 7; ++i) {
        EXPECT_TRUE(backups[i].starts_with("morvane-backup-")) << backups[i];
        const std::string path = U(folder) + "\\" + backups[i];
        std::string bytes;
        EXPECT_EQ(ReadWholeFile(path, &bytes), ERROR_SUCCESS);
        EXPECT_TRUE(Utf8Text(bytes).value_or("").ends_with(kEnd)) << backups[i];
        EXPECT_TRUE(KeepForHivex(path, "automatic-" + std::to_string(i)));
        DeleteFileW(W(path).c_str());
    }
    for (const char* name : {"fixed.reg", "fixed-2.reg", "fixed-3.reg"})
        DeleteFileW((folder + L"\\" + W(name)).c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

TEST_F(BackupTest, AtMostTwentyErrorsAreToldAndLongNamesShortened) {
    std::string text = std::string(1 << 20, 'x') + " = on\n";
    for (int i = 1; i < 100000; ++i)
        text += "nonsense = on\n";
    WideFile preset("flood.preset");
    preset.Write(text);
    const Snapshot before = sandbox.Snapshot();
    const Result r = Ctl({"apply", preset.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_TRUE(sandbox.Snapshot() == before);
    std::vector<std::string> lines;
    for (size_t at = 0; at < r.err.size();) {
        const size_t eol = r.err.find('\n', at);
        lines.push_back(r.err.substr(at, eol - at));
        at = eol + 1;
    }
    ASSERT_EQ(lines.size(), 22u) << r.err.substr(0, 2000);
    const std::string prefix = "morvanectl: " + preset.path + ": ";
    EXPECT_TRUE(lines[0].starts_with(prefix + "line 1: unknown tweak \"" + std::string(80, 'x') +
                                     "…\"; morvanectl list names them all"))
        << lines[0].substr(0, 300);
    for (int i = 1; i < 20; ++i)
        EXPECT_TRUE(lines[i].starts_with(prefix + "line " + std::to_string(i + 1) +
                                         ": unknown tweak \"nonsense\""))
            << lines[i];
    EXPECT_EQ(lines[20], prefix + "… and 99980 more");
    EXPECT_EQ(lines[21], "morvanectl: nothing was applied");
    EXPECT_LT(r.err.size(), 4000u);
}

} // namespace

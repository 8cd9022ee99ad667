// check compares a preset with the machine and changes nothing; set and
// apply read each tweak back and say when it does not come out as asked.
#include "ctl/Commands.h"
#include "ctl/CtlHarness.h"
#include "ctl/commands/Tweak.h"
#include "support/RegistrySandbox.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

namespace {

const char EXPLORER[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char PHISH[] = "Software\\Microsoft\\Internet Explorer\\PhishingFilter";
const char MAIN[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char PREFS[] = "Software\\Microsoft\\MediaPlayer\\Preferences";
const char ADVANCED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

// Four tweaks whose cells delete the per-user value: with a machine-wide
// value beside it, the machine-wide one then decides.
const char kFour[] = "general/file-association-web-service = on\n"
                     "iexplorer/disable-phishing-filter = off\n"
                     "iexplorer/blank-home-page = off\n"
                     "mediaplayer/disable-drm-on-import = off\n";

// What each of the four then reads, and why.
const char kStillReads[] =
    "morvanectl: general/file-association-web-service on: applied, but still reads off: "
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer : InternetOpenWith = DWORD 0 "
    "decides\n"
    "morvanectl: iexplorer/disable-phishing-filter off: applied, but still reads on: "
    "HKLM\\Software\\Microsoft\\Internet Explorer\\PhishingFilter : Enabled = SZ \"0\" decides\n"
    "morvanectl: iexplorer/blank-home-page off: applied, but still reads on: "
    "HKLM\\Software\\Microsoft\\Internet Explorer\\Main : Start Page = SZ \"about:blank\" "
    "decides\n"
    "morvanectl: mediaplayer/disable-drm-on-import off: applied, but still reads on: "
    "HKLM\\Software\\Microsoft\\MediaPlayer\\Preferences : CDRecordDRM = DWORD 0 decides\n";

class CheckTest : public testing::Test {
protected:
    RegistrySandbox sandbox;

    // Machine-wide values beside per-user ones that decide the other way.
    void PutBothRoots() {
        PutDword(HKEY_LOCAL_MACHINE, EXPLORER, "InternetOpenWith", 0);
        PutDword(HKEY_CURRENT_USER, EXPLORER, "InternetOpenWith", 1);
        PutString(HKEY_LOCAL_MACHINE, PHISH, "Enabled", "0");
        PutString(HKEY_CURRENT_USER, PHISH, "Enabled", "1");
        PutString(HKEY_LOCAL_MACHINE, MAIN, "Start Page", "about:blank");
        PutString(HKEY_CURRENT_USER, MAIN, "Start Page", "http://example.org/");
        PutDword(HKEY_LOCAL_MACHINE, PREFS, "CDRecordDRM", 0);
        PutDword(HKEY_CURRENT_USER, PREFS, "CDRecordDRM", 1);
    }
};

TEST_F(CheckTest, NamesEachTweakThatDiffersAndChangesNothing) {
    TempFile preset("check.preset");
    preset.Write("# two\nusability/show-hidden-files = on\niexplorer/blank-home-page = off\n");
    // The per-user value decides over the machine-wide one.
    PutDword(HKEY_CURRENT_USER, ADVANCED, "Hidden", 2);
    PutDword(HKEY_LOCAL_MACHINE, ADVANCED, "Hidden", 1);
    PutString(HKEY_CURRENT_USER, MAIN, "Start Page", "about:blank");
    const auto before = sandbox.Snapshot();

    Result r = Ctl({"check", preset.path});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "usability/show-hidden-files: off, wanted on: "
                     "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced : "
                     "Hidden = DWORD 2 decides\n"
                     "iexplorer/blank-home-page: on, wanted off: "
                     "HKCU\\Software\\Microsoft\\Internet Explorer\\Main : Start Page = SZ "
                     "\"about:blank\" decides\n"
                     "2 of 2 tweaks differ from " +
                         preset.path + "\n");

    r = Ctl({"check", preset.path, "--json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "[\n"
                     "  {\"name\": \"usability/show-hidden-files\", \"wanted\": \"on\", "
                     "\"current\": \"off\", \"holds\": false},\n"
                     "  {\"name\": \"iexplorer/blank-home-page\", \"wanted\": \"off\", "
                     "\"current\": \"on\", \"holds\": false}\n"
                     "]\n");
    EXPECT_EQ(sandbox.Snapshot(), before);

    PutDword(HKEY_CURRENT_USER, ADVANCED, "Hidden", 1);
    PutString(HKEY_CURRENT_USER, MAIN, "Start Page", "http://example.org/");
    r = Ctl({"check", preset.path});
    EXPECT_EQ(r.code, kDone);
    EXPECT_EQ(r.out, "All 2 tweaks of " + preset.path + " hold\n");
    r = Ctl({"check", preset.path, "--json"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_NE(r.out.find("\"current\": \"on\", \"holds\": true},\n"), std::string::npos) << r.out;
}

// A tweak of three conditions: reading off, the first that fails is named,
// whatever holds around it; reading on, every one is.
TEST_F(CheckTest, ARowOfSeveralConditionsNamesTheOneThatFailsOrAllThatHold) {
    const std::string prefs = std::string("HKCU\\") + PREFS + " : ";
    struct Case {
        const char* what;
        const char* state;
        std::vector<std::pair<const char*, DWORD>> values;
        std::string explained;
    };
    const std::vector<Case> cases = {
        {"first holds, second missing",
         "on",
         {{"CDRecordMP3", 1}},
         "off, wanted on: " + prefs +
             "CDRecordMode is missing under HKCU and HKLM, which never matches"},
        {"two hold, third differs",
         "on",
         {{"CDRecordMP3", 1}, {"CDRecordMode", 1}, {"MP3RecordRate", 64000}},
         "off, wanted on: " + prefs + "MP3RecordRate = DWORD 64000 decides"},
        {"first differs, the others hold",
         "on",
         {{"CDRecordMP3", 0}, {"CDRecordMode", 1}, {"MP3RecordRate", 128000}},
         "off, wanted on: " + prefs + "CDRecordMP3 = DWORD 0 decides"},
        {"all hold",
         "off",
         {{"CDRecordMP3", 1}, {"CDRecordMode", 1}, {"MP3RecordRate", 128000}},
         "on, wanted off: " + prefs + "CDRecordMP3 = DWORD 1 decides; " + prefs +
             "CDRecordMode = DWORD 1 decides; " + prefs + "MP3RecordRate = DWORD 128000 decides"},
    };
    TempFile preset("three.preset");
    for (const Case& c : cases) {
        RegDeleteTreeA(HKEY_CURRENT_USER, PREFS);
        for (const auto& [name, number] : c.values)
            PutDword(HKEY_CURRENT_USER, PREFS, name, number);
        preset.Write(std::string("mediaplayer/import-as-mp3 = ") + c.state + "\n");
        const Result r = Ctl({"check", preset.path});
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_EQ(r.out, "mediaplayer/import-as-mp3: " + c.explained +
                             "\n1 of 1 tweaks differ from " + preset.path + "\n")
            << c.what;
    }
}

// Validated exactly as apply validates a preset.
TEST_F(CheckTest, ABadPresetIsRefusedWithItsLineNumbers) {
    TempFile preset("bad.preset");
    preset.Write("usability/show-hidden-files = on\nno-such/tweak = on\n"
                 "usability/show-hidden-files = maybe\n");
    const Result r = Ctl({"check", preset.path});
    EXPECT_EQ(r.code, kBadInput);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("line 2: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 3: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was checked\n"), std::string::npos) << r.err;
    EXPECT_EQ(Ctl({"check", preset.path + ".missing"}).code, kBadInput);
    EXPECT_EQ(Ctl({"check"}).code, kBadInput);
    EXPECT_EQ(Ctl({"check", preset.path, "--force"}).code, kBadInput);
}

TEST_F(CheckTest, SetAndApplySayWhenAMachineWideValueStillDecides) {
    PutBothRoots();
    Result r =
        Ctl({"set", "general/file-association-web-service", "on",
             "iexplorer/disable-phishing-filter", "off", "iexplorer/blank-home-page", "off",
             "mediaplayer/disable-drm-on-import", "off", "usability/show-hidden-files", "on"});
    EXPECT_EQ(r.code, kSomeFailed);
    EXPECT_EQ(r.err, std::string(kStillReads) + "morvanectl: 4 of 5 tweaks had failures\n");
    // The cells were performed as a click performs them.
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, EXPLORER, "InternetOpenWith"));
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, PHISH, "Enabled"));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, PREFS, "CDRecordDRM"), Dword(0));

    // check names the same cause.
    TempFile preset("four.preset"), backup("four.reg");
    preset.Write(kFour);
    r = Ctl({"check", preset.path});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("general/file-association-web-service: off, wanted on: "
                         "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer : "
                         "InternetOpenWith = DWORD 0 decides\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("4 of 4 tweaks differ"), std::string::npos) << r.out;

    PutBothRoots();
    r = Ctl({"apply", preset.path, "--backup", backup.path, "--all"});
    EXPECT_EQ(r.code, kSomeFailed);
    EXPECT_EQ(r.err, kStillReads);
    EXPECT_NE(r.out.find(": 0 changed, 0 unchanged, 4 failed\n"), std::string::npos) << r.out;
}

// Already in the wanted state: no write, nothing started, said so.
TEST_F(CheckTest, ApplyLeavesWhatHoldsAloneUnlessForced) {
    TempFile preset("two.preset"), backup1("1.reg"), backup2("2.reg"), backup3("3.reg");
    preset.Write("usability/show-hidden-files = on\niexplorer/blank-home-page = on\n");
    PutDword(HKEY_CURRENT_USER, ADVANCED, "Hidden", 1);
    Result r = Ctl({"apply", preset.path, "--backup", backup1.path});
    EXPECT_EQ(r.code, kDone) << r.err;
    EXPECT_NE(r.out.find("usability/show-hidden-files = on: unchanged\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("iexplorer/blank-home-page = on\n  done: set "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(": 1 changed, 1 unchanged, 0 failed\n"), std::string::npos) << r.out;

    const auto before = sandbox.Snapshot();
    r = Ctl({"apply", preset.path, "--dry-run"});
    EXPECT_EQ(r.code, kDone);
    const size_t tweaks = r.out.find('\n') + 1;
    EXPECT_TRUE(r.out.starts_with("Would write the backup to ")) << r.out;
    EXPECT_EQ(r.out.substr(tweaks), "usability/show-hidden-files = on: unchanged\n"
                                    "iexplorer/blank-home-page = on: unchanged\n"
                                    "Would apply 2 tweaks from " +
                                        preset.path + ": 0 would change, 2 unchanged\n");
    r = Ctl({"apply", preset.path, "--backup", backup2.path});
    EXPECT_EQ(r.code, kDone);
    EXPECT_NE(r.out.find(": 0 changed, 2 unchanged, 0 failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("done:"), std::string::npos) << r.out;
    EXPECT_EQ(sandbox.Snapshot(), before);
    EXPECT_TRUE(backup2.Exists()) << "the backup is written first, as always";

    // Forced, every line is performed again.
    PutDword(HKEY_CURRENT_USER, ADVANCED, "Hidden", 1);
    r = Ctl({"apply", preset.path, "--backup", backup3.path, "--force"});
    EXPECT_EQ(r.code, kDone);
    EXPECT_NE(r.out.find(": 2 changed, 0 unchanged, 0 failed\n"), std::string::npos) << r.out;
}

// "Every line again" is apply --all; --force, its earlier name, still works
// for apply with a note, and keeps its own meaning for save.
struct ForceCase {
    std::vector<std::string> extra; // after "apply PRESET --backup FILE"
    const char* err;
    const char* counts;
};

TEST_F(CheckTest, ApplyAllSetsEveryLineAndForceIsItsEarlierNameForApplyOnly) {
    const char kNote[] =
        "morvanectl: --force is now --all for apply; --force will be removed in a later version\n";
    // clang-format off
    const ForceCase cases[] = {
        {{}, "", ": 0 changed, 2 unchanged, 0 failed\n"},
        {{"--all"}, "", ": 2 changed, 0 unchanged, 0 failed\n"},
        {{"--force"}, kNote, ": 2 changed, 0 unchanged, 0 failed\n"},
        {{"--dry-run", "--force"}, kNote, ": 2 would change, 0 unchanged\n"},
    };
    // clang-format on
    TempFile preset("all.preset");
    preset.Write("usability/show-hidden-files = on\niexplorer/blank-home-page = on\n");
    ASSERT_EQ(Ctl({"apply", preset.path, "--dry-run"}).code, kDone);
    TempFile first("all-first.reg");
    ASSERT_EQ(Ctl({"apply", preset.path, "--backup", first.path}).code, kDone);
    int n = 0;
    for (const ForceCase& c : cases) {
        TempFile backup("all-" + std::to_string(++n) + ".reg");
        std::vector<std::string> args = {"apply", preset.path, "--backup", backup.path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        SCOPED_TRACE(testing::PrintToString(args));
        const Result r = Ctl(args);
        EXPECT_EQ(r.code, kDone);
        EXPECT_EQ(r.err, c.err);
        EXPECT_NE(r.out.find(c.counts), std::string::npos) << r.out;
    }
    const Result help = Ctl({"help", "apply"});
    EXPECT_NE(help.out.find("\n  --all  "), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("--force"), std::string::npos) << help.out;
    const Result save = Ctl({"save", preset.path, "--force"});
    EXPECT_EQ(save.code, kDone) << save.err;
    EXPECT_EQ(save.err, "");
}

// A preset that names no tweak is an input error for every command that
// reads one (a detection script must not read a failed deployment as
// compliant), and output that cannot be written is a failure.
TEST_F(CheckTest, EmptyPresetsAreInputErrorsAndLostOutputIsAFailure) {
    TempFile preset("empty.preset"), backup("empty.reg"), out("empty.yml"), gpo("empty-gpo");
    const std::string empties[] = {
        "",
        "\r\n\r\n",
        "# only comments\n; here\n",
        "\xEF\xBB\xBF",
        std::string("\xFF\xFE#\0 \0x\0\n\0", 10),
    };
    const std::vector<std::string> readers[] = {
        {"check", preset.path},
        {"check", preset.path, "--json"},
        {"apply", preset.path, "--backup", backup.path},
        {"apply", preset.path, "--dry-run"},
        {"export", "ansible", preset.path, out.path},
        {"export", "gpp", preset.path, gpo.path},
    };
    const auto before = sandbox.Snapshot();
    for (const std::string& text : empties)
        for (const auto& args : readers) {
            preset.Write(text);
            const Result r = Ctl(args);
            EXPECT_EQ(r.code, kBadInput) << testing::PrintToString(args) << text;
            EXPECT_EQ(r.out, "") << testing::PrintToString(args);
            EXPECT_NE(r.err.find("morvanectl: " + preset.path + " names no tweak; nothing was "),
                      std::string::npos)
                << r.err;
            EXPECT_FALSE(backup.Exists() || out.Exists() || gpo.Exists());
            EXPECT_EQ(sandbox.Snapshot(), before);
        }

    // Standard output as a pipe nobody reads, a full disk, and a file that
    // takes it all.
    preset.Write("usability/show-hidden-files = on\n");
    TempFile file("stdout.txt");
    HANDLE reader = nullptr, pipe = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &pipe, nullptr, 0));
    CloseHandle(reader);
    const HANDLE full = CreateFileA("Z:\\dev\\full", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(full, INVALID_HANDLE_VALUE);
    const HANDLE kept =
        CreateFileA(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::pair<HANDLE, int> sinks[] = {
        {pipe, kSomeFailed}, {full, kSomeFailed}, {kept, kDone}};
    const std::vector<std::string> writers[] = {{"list", "--json"},
                                                {"reference"},
                                                {"export", "ansible", preset.path},
                                                {"show", "general/prefetch"}};
    for (const auto& [sink, code] : sinks)
        for (const auto& args : writers) {
            std::string err;
            Writer w(sink), e(&err);
            EXPECT_EQ(RunCtl(args, w, e), code) << testing::PrintToString(args);
            EXPECT_EQ(err.find("morvanectl: cannot write to standard output: "),
                      code == kDone ? std::string::npos : 0u)
                << err;
        }
    CloseHandle(pipe);
    CloseHandle(full);
    CloseHandle(kept);
    EXPECT_NE(file.Read().find("general/prefetch"), std::string::npos);

    // A kept preset's run whose changes cannot go into the kept log: a
    // folder stands where the log would be.
    const std::string keptPreset =
        KeptPresetFile("unlogged.preset", "general/store-lm-hash = on\n");
    ASSERT_NE(keptPreset, "");
    const std::string logAside = KeptLogPath() + ".aside";
    MoveFileA(KeptLogPath().c_str(), logAside.c_str());
    ASSERT_TRUE(CreateDirectoryA(KeptLogPath().c_str(), nullptr));
    const Result unlogged =
        Ctl({"--all-users", "apply", keptPreset, "--all", "--backup", backup.path});
    EXPECT_EQ(unlogged.code, kSomeFailed) << unlogged.out << unlogged.err;
    EXPECT_NE(unlogged.err.find("morvanectl: cannot write " + KeptLogPath() + ": "),
              std::string::npos)
        << unlogged.err;
    RemoveDirectoryA(KeptLogPath().c_str());
    MoveFileA(logAside.c_str(), KeptLogPath().c_str());
    DeleteFileA(keptPreset.c_str());
}

// Records what a cell starts and ends it with a chosen exit code.
DWORD g_exitCode = 0;
RunResult EndWith(const char*, const char*, int, DWORD) {
    return {.outcome = RunResult::Ended, .exitCode = g_exitCode};
}

// A step that fails stops the rest of its tweak: nothing records a state
// that did not come about, so check still sees the difference and apply
// tries again. A service's start type is its setting, written before its
// start or stop.
TEST_F(CheckTest, AFailedStepStopsTheRestOfItsTweak) {
    const RunAndWaitFn previous = g_pfnRunAndWait;
    g_pfnRunAndWait = EndWith;
    const char* const kServices = "System\\CurrentControlSet\\Services\\W32Time";
    struct Case {
        const char* name;
        const char* state;
        DWORD exitCode;
        int setCode, checkCode;
        HKEY root;
        const char *key, *value;
        std::optional<RegValue> left;
    };
    const Case cases[] = {
        {"general/compressed-folders", "on", 3, kSomeFailed, kDiffers, HKEY_CURRENT_USER,
         "Software\\Quelt", "Compressed Folder", std::nullopt},
        {"general/compressed-folders", "off", 5, kSomeFailed, kDiffers, HKEY_CURRENT_USER,
         "Software\\Quelt", "Compressed Folder", Sz("1")},
        {"general/compressed-folders", "on", 0, kDone, kDone, HKEY_CURRENT_USER, "Software\\Quelt",
         "Compressed Folder", Sz("1")},
        {"services/time-synchronization", "off", 2, kSomeFailed, kDone, HKEY_LOCAL_MACHINE,
         kServices, "Start", Dword(3)},
    };
    for (const Case& c : cases) {
        // Set from the other state.
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quelt");
        if (c.state == std::string("off"))
            PutString(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder", "1");
        g_exitCode = c.exitCode;
        Result r = Ctl({"set", c.name, c.state});
        EXPECT_EQ(r.code, c.setCode) << c.name << " " << c.state << "\n" << r.err;
        EXPECT_EQ(GetValue(c.root, c.key, c.value), c.left) << c.name << " " << c.state;
        TempFile preset("failed-step.preset");
        preset.Write(std::string(c.name) + " = " + c.state + "\n");
        r = Ctl({"check", preset.path});
        EXPECT_EQ(r.code, c.checkCode) << c.name << " " << c.state << "\n" << r.out;
    }
    Result r = Ctl({"set", "general/compressed-folders", "on"});
    g_exitCode = 4;
    r = Ctl({"set", "general/compressed-folders", "off"});
    EXPECT_EQ(r.err, "morvanectl: general/compressed-folders off: run regsvr32.exe /u /s " +
                         SystemFolder() +
                         "\\zipfldr.dll: FAILED: exit code 4\n"
                         "morvanectl: general/compressed-folders off: not done after that "
                         "failure: set HKCU\\Software\\Quelt : Compressed Folder = SZ \"0\"\n"
                         "morvanectl: 1 of 1 tweaks had failures\n");
    g_pfnRunAndWait = previous;
}

// A started program's lines, whatever their ends, each under the phrase.
TEST(IndentedTest, EveryLineIndentedWhateverItsEnd) {
    EXPECT_EQ(Indented(""), "");
    EXPECT_EQ(Indented("one\r\n\r\ntwo\nthree"), "    one\n    \n    two\n    three\n");
    EXPECT_EQ(Indented("cr\r\r\n"), "    cr\n");
}

} // namespace

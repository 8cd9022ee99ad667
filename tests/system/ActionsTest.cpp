// The action phrases and conditions, each against the real registry.
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "system/Actions.h"
#include "system/Executor.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

namespace {

constexpr char kPath[] = "Software\\Morvane Test\\Phrases";
constexpr Key kKey{kPath};

// As a click performs them: programs left running, nothing looked at.
Outcome Perform(const Phrase& phrase) {
    return Executor(Executor::StartAndLeave).Perform(phrase);
}
void Perform(const Cell& cell) {
    Executor(Executor::StartAndLeave).Perform(cell, Policy::EveryEffect);
}

class PhraseTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
    ShellRecorder shell;
};

TEST_F(PhraseTest, SetsWriteExactlyTheirRootTypeAndData) {
    Perform(SetDword(HKLM, kKey, "machine", 128000));
    Perform(SetDword(HKCU, kKey, "user", 0));
    Perform(SetString(kKey, "text", "01000000"));
    Perform(SetDword(HKCU, STORE, "Edit Window", 1));

    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kPath, "machine"), Dword(128000));
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, kPath, "machine"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "user"), Dword(0));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, kPath, "user"));
    // Eight characters and the terminating NUL.
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "text"), Sz("01000000"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "text")->data.size(), 9u);
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Edit Window"), Dword(1));
}

TEST_F(PhraseTest, SetsReplaceValuesOfAnotherType) {
    PutDword(HKEY_CURRENT_USER, kPath, "NoRun", 1);
    Perform(SetString(kKey, "NoRun", "1"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "NoRun"), Sz("1"));
}

TEST_F(PhraseTest, DeletesRemoveOneValueUnderTheirRoot) {
    PutDword(HKEY_CURRENT_USER, kPath, "gone", 1);
    PutDword(HKEY_CURRENT_USER, kPath, "kept", 2);
    PutDword(HKEY_LOCAL_MACHINE, kPath, "gone", 3);
    Perform(Delete(HKCU, kKey, "gone"));
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, kPath, "gone"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "kept"), Dword(2));
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kPath, "gone"), Dword(3));
    Perform(Delete(HKLM, kKey, "gone"));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, kPath, "gone"));
}

TEST_F(PhraseTest, DeletesOfMissingValuesAndKeysChangeNothing) {
    PutDword(HKEY_CURRENT_USER, kPath, "kept", 2);
    const auto before = sandbox.Snapshot();
    Perform(Delete(HKCU, kKey, "missing"));
    Perform(Delete(HKCU, Key("Software\\No Such Key"), "v"));
    Perform(Delete(HKLM, Key("Software\\No Such Key"), "v"));
    Perform(DeleteClassKey(Key("*\\shell\\none")));
    EXPECT_EQ(sandbox.Snapshot(), before);
}

TEST_F(PhraseTest, ClassKeysAreCreatedWithTheirDefaultValueAndRemovedWhole) {
    PutString(HKEY_CLASSES_ROOT, "*\\shell\\edit", "Other", "kept until the key goes");
    Perform(CreateClassKey(Key("*\\shell\\edit"), "Edit"));
    Perform(CreateClassKey(Key("*\\shell\\edit\\command"), "notepad.exe \"%1\""));
    EXPECT_EQ(GetValue(HKEY_CLASSES_ROOT, "*\\shell\\edit", ""), Sz("Edit"));
    EXPECT_EQ(GetValue(HKEY_CLASSES_ROOT, "*\\shell\\edit\\command", "")->data.size(), 17u);
    EXPECT_EQ(GetValue(HKEY_CLASSES_ROOT, "*\\shell\\edit", "Other"),
              Sz("kept until the key goes"));

    Perform(DeleteClassKey(Key("*\\shell\\edit")));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\edit"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell"));
}

TEST_F(PhraseTest, RunsGoThroughTheShellAsGiven) {
    Perform(RunHidden("net.exe", "START \"W32Time\""));
    Perform(::Run("regsvr32.exe", "/s x.dll"));
    Perform(RunWithSystemFile("regsvr32.exe", "/u /s ", "\\zipfldr.dll"));
    EXPECT_EQ(shell.Take(),
              (std::vector<ShellRequest>{
                  Started("net.exe", "START \"W32Time\"", SW_HIDE),
                  Started("regsvr32.exe", "/s x.dll", SW_SHOW),
                  Started("regsvr32.exe", "/u /s C:\\windows\\system32\\zipfldr.dll", SW_SHOW)}));
    // Without a system folder the pieces are still joined as they stand.
    EXPECT_EQ(RunParameters(RunWithSystemFile("regsvr32.exe", "/s ", "\\zipfldr.dll"), ""),
              "/s \\zipfldr.dll");
}

TEST_F(PhraseTest, ACellGoesOnPastACommandThatCannotStart) {
    shell.FailWith(2);
    const Cell cell{RunHidden("net.exe", "STOP \"nosuch\""), SetDword(HKLM, kKey, "Start", 3),
                    SetString(STORE, "Compressed Folder", "0")};
    Perform(cell);
    EXPECT_EQ(shell.Take().size(), 1u);
    EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kPath, "Start"), Dword(3));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder"), Sz("0"));
}

// Which effects each policy performs once one has failed, and what it says
// of each.
TEST_F(PhraseTest, ThePolicySaysWhatFollowsAFailure) {
    struct PolicyCase {
        Policy policy;
        std::vector<bool> performed;
        bool written;
    };
    // Stopping first: it writes nothing, so the next case starts clean.
    const PolicyCase cases[] = {{Policy::StopAtFailure, {true, false, false}, false},
                                {Policy::EveryEffect, {true, true, true}, true}};
    const Cell cell{RunHidden("net.exe", "STOP \"nosuch\""), SetDword(HKLM, kKey, "Start", 3),
                    SetString(STORE, "Compressed Folder", "0")};
    shell.FailWith(2);
    for (const PolicyCase& c : cases) {
        const Steps steps = Executor(Executor::StartAndLeave).Perform(cell, c.policy);
        std::vector<bool> performed;
        for (const Step& step : steps)
            performed.push_back(step.performed);
        EXPECT_EQ(performed, c.performed);
        EXPECT_EQ(steps.front().outcome.status, Outcome::Failed);
        EXPECT_EQ(steps.front().outcome.error, 2u);
        EXPECT_EQ(GetValue(HKEY_LOCAL_MACHINE, kPath, "Start").has_value(), c.written);
        EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder").has_value(),
                  c.written);
    }
}

TEST(PhraseWithoutRightsTest, MachineWidePhrasesFailAndTheRestStillWork) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    ShellRecorder shell;
    const Cell cell{SetDword(HKLM, kKey, "m", 1), Delete(HKLM, kKey, "m"),
                    CreateClassKey(Key("*\\shell\\edit"), "Edit"), SetDword(HKCU, kKey, "u", 1),
                    SetDword(HKCU, STORE, "Edit Window", 1)};
    Perform(cell);
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, kPath, "m"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "*\\shell\\edit"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, kPath, "u"), Dword(1));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Edit Window"), Dword(1));
}

// What became of each phrase, as the command-line program reports it.
TEST_F(PhraseTest, EachPhraseSaysWhatBecameOfIt) {
    EXPECT_EQ(Perform(SetDword(HKCU, kKey, "n", 1)).status, Outcome::Done);
    EXPECT_EQ(Perform(Delete(HKCU, kKey, "n")).status, Outcome::Done);
    EXPECT_EQ(Perform(Delete(HKCU, kKey, "n")).status, Outcome::WasNotThere);
    EXPECT_EQ(Perform(Delete(HKLM, Key("Software\\No Such Key"), "v")).status,
              Outcome::WasNotThere);
    EXPECT_EQ(Perform(CreateClassKey(Key("*\\shell\\edit"), "Edit")).status, Outcome::Done);
    EXPECT_EQ(Perform(DeleteClassKey(Key("*\\shell\\edit"))).status, Outcome::Done);
    EXPECT_EQ(Perform(DeleteClassKey(Key("*\\shell\\edit"))).status, Outcome::WasNotThere);
    EXPECT_EQ(Perform(RunHidden("net.exe", "START \"W32Time\"")).status, Outcome::Done);
    shell.FailWith(2);
    const Outcome refused = Perform(RunHidden("net.exe", "START \"W32Time\""));
    EXPECT_EQ(refused.status, Outcome::Failed);
    EXPECT_EQ(refused.error, 2u);
    EXPECT_FALSE(refused.ended);
}

TEST(PhraseWithoutRightsTest, AMachineWriteFailsWithTheSystemsCode) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    const Outcome o = Perform(SetDword(HKLM, kKey, "m", 1));
    EXPECT_EQ(o.status, Outcome::Failed);
    EXPECT_EQ(o.error, static_cast<DWORD>(ERROR_KEY_DELETED));
    EXPECT_FALSE(o.Succeeded());
}

// A program waited for: its exit code, and its output and errors caught in
// the order written, nothing of it on this process's own console.
TEST(WaitedProgramTest, GivesItsExitCodeAndWhatItWrote) {
    Executor executor(Executor::StartAndWait);
    const Outcome o =
        executor.Perform(RunHidden("cmd.exe", "/c echo first& echo second 1>&2& exit 7"));
    EXPECT_EQ(o.status, Outcome::ExitCode);
    EXPECT_TRUE(o.ended);
    EXPECT_EQ(o.exitCode, 7u);
    EXPECT_EQ(o.output, "first\r\nsecond \r\n");

    const Outcome done = executor.Perform(RunHidden("cmd.exe", "/c exit 0"));
    EXPECT_EQ(done.status, Outcome::Done);
    EXPECT_TRUE(done.ended);
    EXPECT_EQ(done.output, "");

    const Outcome missing = executor.Perform(RunHidden("no-such-program.exe", ""));
    EXPECT_EQ(missing.status, Outcome::Failed);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Its first line is kept. Under load cmd.exe takes seconds to start, so the
// wait is long enough for that, and the program runs on past it.
TEST(WaitedProgramTest, AProgramStillRunningIsLeftAndSaidSo) {
    const RunResult r =
        RunAndWait("cmd.exe", "/c echo early& ping -n 14 127.0.0.1 >nul", SW_HIDE, 10000);
    EXPECT_EQ(r.outcome, RunResult::StillRunning);
    EXPECT_EQ(r.output, "early\r\n");
}

class ConditionTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
};

TEST_F(ConditionTest, DwordConditionsUseTheirDefaultForMissingValues) {
    EXPECT_TRUE(Holds(DwordIsNot(kKey, "Enabled", 1, HklmOnly, 0)));
    EXPECT_FALSE(Holds(DwordIs(kKey, "nolmhash", 1, HklmOnly, 0)));
    PutDword(HKEY_LOCAL_MACHINE, kPath, "nolmhash", 0);
    EXPECT_TRUE(Holds(DwordIs(kKey, "nolmhash", 1, HklmOnly, 0)));
}

TEST_F(ConditionTest, StringConditionsCompareExactly) {
    PutString(HKEY_CURRENT_USER, kPath, "Start Page", "About:Blank");
    EXPECT_FALSE(Holds(StringIs(kKey, "Start Page", "about:blank")));
    PutString(HKEY_CURRENT_USER, kPath, "Start Page", "about:blank");
    EXPECT_TRUE(Holds(StringIs(kKey, "Start Page", "about:blank")));
}

TEST_F(ConditionTest, JoinedConditionsAllMustHold) {
    const Conditions both{DwordIs(kKey, "a", 0xFFFFFFFF, HkcuFirst, 32),
                          DwordIs(kKey, "b", 0xFFFFFFFF, HkcuFirst, 32)};
    PutDword(HKEY_CURRENT_USER, kPath, "a", 32);
    EXPECT_FALSE(Holds(both));
    PutDword(HKEY_LOCAL_MACHINE, kPath, "b", 32);
    EXPECT_TRUE(Holds(both));
}

} // namespace

// --image DIR over an offline image the test makes: each command reads and
// writes the image's mounted hives (its current control set, its Default
// profile), never the running system's, runs no program, and leaves nothing
// loaded. Wine does not write a loaded hive back to its file on unload, so
// what a run wrote is shown inside that run: by the keys its messages and
// dry runs name, and by the read-back after each tweak is set.
#include "ctl/BackupFiles.h"
#include "ctl/CtlHarness.h"
#include "ctl/ImageFiles.h"
#include "ctl/formats/Files.h"
#include "support/RegistrySandbox.h"
#include "system/Mounts.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const char kAdvanced[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const char kW32Time[] = "SYSTEM\\CurrentControlSet\\Services\\W32Time";
const char kLsa[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";

// Stands in for every program a tweak runs: none may run against an image.
int g_programsRun = 0;
RunResult CountRun(const char*, const char*, int, DWORD) {
    ++g_programsRun;
    return {.outcome = RunResult::Ended};
}

// A file's bytes, none when it cannot be read.
std::string Bytes(const std::string& path) {
    std::string bytes;
    return ReadWholeFile(path, &bytes) == ERROR_SUCCESS ? bytes : std::string();
}

struct ImageCase {
    std::vector<std::string> args; // "I" the image, "P" and "D" presets, "A", "B" and "R" backups
    ImageLayout layout;
    int code;
    std::vector<std::string> said; // in what the command writes
};

TEST(ImageTest, CommandsReadAndWriteTheImagesMountsAndRefusalsChangeNothing) {
    RegistrySandbox sandbox; // the running system: every tweak reads the other way there
    PutDword(HKEY_LOCAL_MACHINE, kW32Time, "Start", 2);
    PutDword(HKEY_LOCAL_MACHINE, kLsa, "restrictanonymous", 0);
    PutDword(HKEY_CURRENT_USER, kAdvanced, "Hidden", 2);
    ImageTree tree;
    TempFile same("image-same.preset"), differs("image-differs.preset"), applied("image-apply.reg"),
        image("image.reg"), running("running.reg");
    same.Write("services/time-synchronization = off\nusability/show-hidden-files = on\n"
               "general/restrict-null-sessions = on\n");
    differs.Write("services/time-synchronization = on\nusability/show-file-extensions = on\n");
    // ControlSet001 reads the other way: only ControlSet002 is the image's.
    const ImageLayout usual{.more = {{},
                                     {{"ControlSet001\\Services\\W32Time", "Start", 2},
                                      {"ControlSet002\\Control\\Lsa", "restrictanonymous", 1}},
                                     {}}};
    ImageLayout started = usual; // W32Time started since the backup
    started.more[1].push_back({"ControlSet002\\Services\\W32Time", "Start", 2});
    const std::string set = "HKLM\\" + ImageMountName("SYSTEM") + "\\ControlSet002\\",
                      user = "HKU\\" + ImageMountName("Default") + "\\",
                      service = set + "Services\\W32Time : Start";
    // clang-format off
    const ImageCase cases[] = {
        {{"--image", "I", "list"}, usual, kDone, {"  off administrator services/time-synchronization",
         "  on  user          usability/show-hidden-files", "  on  administrator general/restrict-null-sessions"}},
        {{"check", "P", "--image", "I"}, usual, kDone, {"All 3 tweaks of "}},
        {{"--image", "I", "check", "D"}, usual, kDiffers, {service + " = DWORD 3 decides",
         user + kAdvanced + " : HideFileExt is missing"}},
        {{"--image", "I", "apply", "--dry-run", "D"}, usual, kDone, {"  set " + service + " = DWORD 2\n",
         "  run net.exe START \"W32Time\" (hidden): takes effect when the image starts\n",
         "  set " + user + kAdvanced + " : HideFileExt = DWORD 0\n"}},
        {{"--image", "I", "apply", "D", "--backup", "A"}, usual, kDone, {"Backup written to ",
         "  done: set " + service + " = DWORD 2\n  deferred: ", "2 changed, 0 unchanged, 0 failed"}},
        {{"--image", "I", "set", "general/compressed-folders", "on"}, usual, kSomeFailed,
         {"FAILED: cannot be set in an offline image",
          "not done in an offline image: set " + user + "Software\\Quelt"}},
        {{"--image", "I", "set", "--dry-run", "general/compressed-folders", "on"}, usual, kSomeFailed,
         {": cannot be set in an offline image\n"}},
        {{"--image", "I", "backup", "B"}, usual, kDone, {"Backup written to "}},
        {{"--image", "I", "restore", "--dry-run", "B"}, started, kDone, {"would make 1 changes:\n  set " +
         service + " = DWORD 3 (now DWORD 2)\n"}},
        {{"restore", "B"}, usual, kBadInput, {"was taken from an offline image; restore it with --image DIR"}},
        {{"backup", "R"}, usual, kDone, {"Backup written to "}},
        {{"--image", "I", "restore", "R"}, usual, kBadInput,
         {"was not taken from an offline image; restore it without --image"}},
        // Refused: nothing is loaded, nothing changes.
        {{"--image", "I", "list"}, {.complete = false}, kBadInput, {"is not a Windows image: it holds no "
         "Windows\\System32\\config\\SYSTEM, Users\\Default\\NTUSER.DAT"}},
        {{"--image", "I", "set", "usability/show-file-extensions", "on"}, {.current = std::nullopt}, kBadInput,
         {"\\Windows\\System32\\config\\SYSTEM holds no valid Select\\Current ("}},
        {{"--image", "C:\\", "apply", "D"}, usual, kBadInput,
         {"C:\\: that is the running system; leave out --image"}},
        {{"--image", "I", "--user", "someone", "list"}, usual, kBadInput,
         {"give one --user, one --hive, one --image or --all-users"}},
        {{"list", "--image"}, usual, kBadInput, {"--image needs the folder of an offline Windows"}},
        {{"--image", "I", "show", "usability/show-hidden-files"}, usual, kBadInput,
         {"--image is for list, check, apply, set, backup and restore"}},
    };
    // clang-format on
    const std::map<std::string, std::string> named = {{"I", tree.dir},     {"P", same.path},
                                                      {"D", differs.path}, {"A", applied.path},
                                                      {"B", image.path},   {"R", running.path}};
    const RunAndWaitFn previous = g_pfnRunAndWait;
    g_pfnRunAndWait = CountRun;
    const auto listings = Listings();
    const auto system = sandbox.Snapshot();
    for (const ImageCase& c : cases) {
        const std::vector<std::string> args = Substituted(c.args, named);
        SCOPED_TRACE(testing::PrintToString(args));
        tree.Make(c.layout);
        std::string files[3];
        for (int n = 0; n < 3; ++n)
            files[n] = Bytes(tree.File(n));
        CtlSaying(args, c.code, c.said);
        EXPECT_EQ(Listings(), listings);
        EXPECT_TRUE(sandbox.Snapshot() == system);
        for (int n = 0; n < 3 && c.code == kBadInput; ++n)
            EXPECT_EQ(Bytes(tree.File(n)), files[n]) << tree.File(n);
    }
    g_pfnRunAndWait = previous;
    EXPECT_EQ(g_programsRun, 0);
    // The image's backups name its keys in their own form, whichever run mounted them.
    for (const TempFile* backup : {&applied, &image}) {
        const std::string text = Utf8Text(backup->Read()).value_or("");
        EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Morvane.Image\\System\\CurrentControlSet\\"
                            "Services\\W32Time]\r\n\"Start\"=dword:00000003\r\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string("[HKEY_USERS\\Morvane.Image.Default\\") + kAdvanced + "]"),
                  std::string::npos);
        EXPECT_EQ(text.find("Morvane.Image." + std::to_string(GetCurrentProcessId())),
                  std::string::npos);
    }
}

} // namespace

// backup --all-users and apply --all-users: what a run may change is backed
// up first, for every profile that reg import can put back.
#include "ctl/AllUsers.h"

#include "ctl/Backup.h"
#include "ctl/Commands.h"
#include "ctl/FileWriting.h"
#include "ctl/Files.h"
#include "ctl/Kept.h"
#include "ctl/Text.h"
#include "ctl/Tweak.h"
#include "ctl/Whose.h"
#include "system/ErrorText.h"
#include "system/Profiles.h"
#include "ctl/ProfileWalk.h"
#include "system/UserHive.h"

namespace {

constexpr wchar_t kBlockEnd[] = L"\r\n\r\n";

// The blocks of a backup's text, each ended by a blank line.
std::vector<std::wstring> Blocks(const std::wstring& text) {
    std::vector<std::wstring> blocks;
    size_t begin = 0;
    for (size_t end; (end = text.find(kBlockEnd, begin)) != std::wstring::npos; begin = end + 4)
        blocks.push_back(text.substr(begin, end + 4 - begin));
    return blocks;
}

bool Under(const std::wstring& block, const std::wstring& root) {
    return block.starts_with(L"[" + root + L"\\") || block.starts_with(L"[-" + root + L"\\");
}

bool SignedIn(const Profile& p, const std::string& own) {
    return !p.sid.empty() && (p.sid == own || ProfileLoaded(p.sid));
}

// A profile a backup leaves out: not signed in, or why not (LinkRefusal).
struct LeftOut {
    std::string name, why;
};

// One backup of the machine-wide values and of each signed-in profile's, in
// HKEY_USERS\<SID>; the others are named in *leftOut.
bool AllUsersBackupText(const std::vector<Profile>& profiles, std::wstring* text,
                        std::vector<LeftOut>* leftOut, std::string* error) {
    const std::string own = OwnSid(), taken = LocalStamp();
    std::wstring whole;
    if (!BackupText(taken, &whole, error, true))
        return false;
    std::wstring head, machine, users;
    for (const std::wstring& block : Blocks(whole))
        (block[0] != L'['                            ? head
         : Under(block, Wide(CurrentUserRootText())) ? users
                                                     : machine) += block;
    users.clear();
    for (const Profile& p : profiles) {
        if (!SignedIn(p, own)) {
            leftOut->push_back({p.name, ""});
            continue;
        }
        UserHive hive;
        if (p.sid == own)
            hive.OpenOwn(p.sid);
        else if (!hive.OpenUser(p.sid, error))
            return false;
        else if (std::string why = LinkRefusal(); !why.empty()) {
            leftOut->push_back({p.name, why});
            continue;
        }
        if (!BackupText(taken, &whole, error))
            return false;
        for (const std::wstring& block : Blocks(whole))
            if (Under(block, L"HKEY_USERS\\" + Wide(p.sid)))
                users += block;
    }
    std::wstring notes;
    for (const auto& [name, why] : *leftOut)
        notes += RegComment(why.empty() ? "Not included, not signed in: " + name
                                        : "Not included: " + name + " " + why) +
                 kBlockEnd;
    *text = head + notes + machine + users + kEndMarker + L"\r\n";
    return true;
}

// Writes the backup to `path`, or under a name of its own in `folder`;
// *written is the file's name.
bool WriteAllUsersBackup(Console& c, const std::vector<Profile>& profiles, const std::string& path,
                         const std::string& folder, std::string* written, std::string* failure) {
    std::wstring text;
    std::vector<LeftOut> leftOut;
    if (!AllUsersBackupText(profiles, &text, &leftOut, failure)) {
        c.Error() << "no backup made: " << *failure << "\n";
        return false;
    }
    *written = path;
    const std::string stem = (folder.empty() ? "" : folder + "\\") +
                             LocalStamp("morvane-backup-%04u%02u%02u-%02u%02u%02u-%03u");
    const DWORD status = path.empty()
                             ? WriteNewNumberedFile(stem, ".reg", FileBytes(text), written,
                                                    folder.empty() ? nullptr : DataSecurity())
                             : WriteNewFile(path, FileBytes(text));
    if (status != ERROR_SUCCESS) {
        *failure = WriteFailure(status, *written);
        c.Error() << *failure
                  << (status == ERROR_FILE_EXISTS ? "; a backup never replaces a file" : "")
                  << "\n";
        return false;
    }
    c.out << "Backup written to " << *written << "\n";
    for (const auto& [name, why] : leftOut)
        c.out << "  not included: " << name << " "
              << (why.empty() ? "is not signed in, and reg import restores only a loaded profile"
                              : why)
              << "\n";
    return true;
}

} // namespace

int BackupAllUsers(Console& c, const std::string& path) {
    std::vector<Profile> profiles;
    std::string error;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    std::string written;
    return WriteAllUsersBackup(c, profiles, path, "", &written, &error) ? kDone : kBadInput;
}

namespace {

// One apply over the machine and its profiles; `log` collects the kept
// log's lines, one per change and failure, when the preset is a kept one.
struct AllUsersRun {
    Console& c;
    const ApplyAllMode& mode;
    std::string kept;                 // the kept preset's name, or empty
    std::string stamp = LocalStamp(); // one time for every line of the run
    Executor executor{Executor::StartAndWait};
    size_t count[3] = {};
    std::vector<KeptLogLine> log;

    void Log(const std::string& profile, const std::string& tweak, const std::string& before,
             const std::string& after) {
        if (!kept.empty())
            log.push_back({stamp, kept, profile, tweak, before, after});
    }

    // What the run would change, read without changing anything.
    size_t Pending(const std::vector<PresetLine>& lines) const {
        size_t n = 0;
        for (const PresetLine& line : lines)
            n += mode.always || ReadsOn(*line.row) != line.on;
        return n;
    }

    void Set(const std::string& profile, const PresetLine& line) {
        const bool before = ReadsOn(*line.row);
        // Its errors are caught for the log, already escaped, and then shown.
        std::string err;
        Writer caughtErr(&err);
        Console caught{c.out, caughtErr};
        const SetResult result = SetTweak(caught, executor, *line.row, line.on,
                                          {.dryRun = mode.dryRun, .always = mode.always});
        c.out.Flush();
        c.err.Lines(err);
        ++count[static_cast<int>(result)];
        if (mode.dryRun || result == SetResult::Unchanged)
            return;
        std::string why = err.substr(0, err.find('\n'));
        if (why.starts_with("morvanectl: "))
            why = why.substr(12);
        Log(profile, line.row->name, before ? "on" : "off",
            result == SetResult::Changed ? (line.on ? "on" : "off") : "failed: " + why);
    }

    void Group(const std::string& heading, const std::string& profile,
               const std::vector<PresetLine>& lines) {
        c.out << heading << "\n";
        for (const PresetLine& line : lines)
            Set(profile, line);
    }
};

} // namespace

namespace {

// The backup before the first change: false, with nothing applied, when it
// could not be written.
bool BackUp(AllUsersRun& run, const std::vector<Profile>& profiles) {
    Console& c = run.c;
    if (run.mode.dryRun) {
        c.out << "Would write the backup"
              << (run.mode.backup.empty() ? "" : " to " + run.mode.backup) << "\n";
        return true;
    }
    const std::string folder = run.kept.empty() ? "" : KeptBackupFolder();
    std::string written, failure = folder.empty() ? "" : MakeDataFolder(folder);
    if (!failure.empty())
        c.Error() << failure << "\n";
    if (failure.empty() &&
        WriteAllUsersBackup(c, profiles, run.mode.backup, folder, &written, &failure)) {
        if (!folder.empty())
            PruneBackups(folder, kKeptBackups, written);
        return true;
    }
    c.Error() << "nothing was applied\n";
    run.Log("-", "-", "-", "failed: no backup: " + failure);
    if (const std::string problem = AppendKeptLog(run.log); !problem.empty())
        c.Error() << problem << "\n";
    return false;
}

} // namespace

int ApplyAllUsers(Console& c, const std::string& path, const std::vector<PresetLine>& lines,
                  const ApplyAllMode& mode) {
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    AllUsersRun run{c, mode, KeptPresetName(path)};
    const std::vector<PresetLine> machine = LinesOf(lines, false), perUser = LinesOf(lines, true);
    size_t pending = run.Pending(machine);
    Walk(
        profiles, [&](const Profile&) { pending += run.Pending(perUser); },
        [](const Profile&, const std::string&) {});
    if (pending && !BackUp(run, profiles))
        return kBadInput;
    if (!pending)
        c.out << "Nothing to change: no backup written\n";
    run.Group("Machine-wide", "machine-wide", machine);
    const size_t refused = Walk(
        profiles, [&](const Profile& p) { run.Group(Heading(p), p.name, perUser); },
        [&](const Profile& p, const std::string& why) {
            SayRefused(c, p, why);
            run.Log(p.name, "-", "-", "failed: " + why);
        });
    const size_t changed = run.count[static_cast<int>(SetResult::Changed)];
    const size_t unchanged = run.count[static_cast<int>(SetResult::Unchanged)];
    const size_t failed = run.count[static_cast<int>(SetResult::Failed)];
    c.out << (mode.dryRun ? "Would apply " : "Applied ") << path << " to the machine and "
          << profiles.size() - refused << " of " << profiles.size() << " profiles: " << changed
          << (mode.dryRun ? " would change, " : " changed, ") << unchanged << " unchanged, "
          << failed << " failed\n";
    if (const std::string problem = AppendKeptLog(run.log); !problem.empty()) {
        c.Error() << problem << "\n";
        return kSomeFailed;
    }
    return failed || refused ? kSomeFailed : kDone;
}

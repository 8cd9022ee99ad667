// backup and restore: every value the tweaks touch into a .reg file, and such
// a file checked whole and imported with the system's reg.exe.
#include "ctl/formats/Backup.h"
#include "ctl/formats/BackupCoverage.h"
#include "ctl/ExitCodes.h"
#include "ctl/formats/FileWriting.h"
#include "ctl/formats/Files.h"
#include "ctl/keep/Kept.h"
#include "ctl/commands/Pending.h"
#include "ctl/output/Text.h"
#include "ctl/commands/Tweak.h"
#include "ctl/scopes/Whose.h"
#include "ctl/output/Words.h"
#include "ctl/commands/CommandFamilies.h"
#include "ctl/commands/Shared.h"
#include "ctl/scopes/Scopes.h"
#include "system/ErrorText.h"
#include "system/KeyMap.h"
#include "system/OfflineImage.h"
#include "system/Shell.h"
#include "system/UserHive.h"

#include <algorithm>

namespace {

constexpr Option kRestoreDryRun{"--dry-run", nullptr,
                                "lists what the restore would change, and changes nothing"};

// A profile a backup leaves out: not signed in (no why), or why not.
struct LeftOut {
    std::string name, why;
};

// The machine-wide entries first, then each profile's under HKEY_USERS\<SID>.
bool TakeBackup(const Scopes& scopes, Utf16String* text, std::vector<LeftOut>* leftOut,
                std::string* error) {
    const std::string taken = LocalStamp(), own = OwnSid();
    Coverage roots = BackupCoverage();
    std::vector<RegFileEntry> entries, users;
    bool taking = true;
    scopes.Each(
        [&](const Scope& s) {
            if (s.kind == Scope::User)
                roots.profileRoots.push_back(L"HKEY_USERS\\" + Wide(s.profile->sid));
            const BackupPart part = s.kind == Scope::Whole     ? BackupPart::Everything
                                    : s.kind == Scope::Machine ? BackupPart::MachineWide
                                                               : BackupPart::PerUser;
            taking =
                taking && BackupEntries(part, roots.profileRoots.size() - 1,
                                        part == BackupPart::PerUser ? &users : &entries, error);
        },
        [&](const Scope& s, const std::string& why) {
            leftOut->push_back({s.profile->name, why});
        },
        [&](const Profile& p) {
            const bool skip = !SignedIn(p, own);
            if (skip)
                leftOut->push_back({p.name, ""});
            return skip;
        });
    if (!taking)
        return false;
    entries.insert(entries.end(), users.begin(), users.end());
    std::vector<std::string> notes;
    for (const auto& [name, why] : *leftOut)
        notes.push_back(why.empty() ? "Not included, not signed in: " + name
                                    : "Not included: " + name + " " + why);
    *text = EntriesText(roots, entries, BackupNotes(taken, scopes.Many(), notes));
    return true;
}

int Backup(Console& c, const Arguments& a) {
    Scopes scopes;
    if (!scopes.Make(c, a.allUsers))
        return kSomeFailed;
    std::string written, failure;
    return WriteBackup(c, scopes, a.words[0], "", &written, &failure) ? kDone : kBadInput;
}

// The key a per-user change is really made in: HKCU while the caller's
// own, else the user's hive under HKEY_USERS.
std::string NamedForUser(std::string change) {
    if (const size_t at = change.find("HKCU\\"); at != std::string::npos)
        change.replace(at, 4, ShortUserRoot());
    return change;
}

int RestoreDryRun(Console& c, const std::string& path, const std::vector<RegFileEntry>& entries) {
    const std::vector<std::string> changes = PendingChanges(entries);
    if (changes.empty())
        c.out << "Restoring " << path << " would change nothing\n";
    else
        c.out << "Restoring " << path << " would make " << changes.size() << " changes:\n";
    for (const std::string& change : changes)
        c.out << "  " << NamedForUser(change) << "\n";
    return kDone;
}

// The entries as reg.exe must name them: in an offline image each
// machine-wide key as the mounted key it lands in. False, with the key, for
// one outside the image's hives.
bool Mounted(std::vector<RegFileEntry>* entries, std::string* error) {
    if (!OfflineImageOpen())
        return true;
    for (RegFileEntry& e : *entries) {
        KeyPlace<std::wstring> place;
        if (e.root == HKCU)
            continue;
        if (MapKey(e.root, e.key, &place) != ERROR_SUCCESS) {
            *error = KeyWhere(e.root, e.key) + " is outside the image";
            return false;
        }
        e.root = HKLM;
        e.key = place.path;
    }
    return true;
}

// Why a file that does not fit `coverage` is refused, when it is a backup
// of the other kind: taken from an offline image, or from a running system.
const char* OtherForm(const std::string& bytes, const Coverage& coverage) {
    const bool image = coverage.machineRoot == kImageMachineRoot;
    Coverage other = coverage;
    other.machineRoot = image ? UTF16("HKEY_LOCAL_MACHINE") : kImageMachineRoot;
    other.classesRoot = image ? UTF16("HKEY_CLASSES_ROOT") : kImageClassesRoot;
    other.userRoot = image ? UTF16("HKEY_CURRENT_USER") : Wide(kImageUserRoot);
    std::vector<RegFileEntry> entries;
    RegFileFault fault;
    if (!ReadBackup(bytes, other, &entries, &fault))
        return nullptr;
    return image ? "was not taken from an offline image; restore it without --image"
                 : "was taken from an offline image; restore it with --image DIR";
}

// reg.exe's exit code alone does not tell that every value was written:
// what the file holds is read back, as the dry run compares it.
// The file it imports is made of the checked entries, each per-user key
// under the key that HKEY_CURRENT_USER stands for in this run.
int Import(Console& c, const std::string& path, const std::vector<RegFileEntry>& entries) {
    Coverage roots;
    roots.userRoot = Wide(CurrentUserKeyText());
    std::vector<RegFileEntry> mounted = entries;
    if (std::string error; !Mounted(&mounted, &error)) {
        c.Error() << error << "; nothing was restored\n";
        return kBadInput;
    }
    std::wstring copy;
    if (const DWORD status = WriteTemporaryFile(FileBytes(EntriesText(roots, mounted)), &copy);
        status != ERROR_SUCCESS) {
        c.Error() << "cannot write a temporary copy of " << path << ": " << ErrorText(status)
                  << "; nothing was restored\n";
        return kBadInput;
    }
    c.out << "Running reg.exe import of " << path << "\n";
    c.out.Flush();
    const RunResult r =
        g_pfnRunAndWaitWide("reg.exe", L"import \"" + copy + L"\"", SW_HIDE, kProgramWaitMs);
    DeleteFileW(copy.c_str());
    c.out.Lines(Indented(r.output));
    if (r.outcome == RunResult::NotStarted) {
        c.Error() << "reg.exe did not start: " << ErrorText(r.error) << "\n";
        return kSomeFailed;
    }
    if (r.outcome == RunResult::StillRunning) {
        c.Error() << "reg.exe import did not end within " << kProgramWaitMs / 1000 << " s\n";
        return kSomeFailed;
    }
    const std::vector<std::string> left = PendingChanges(entries);
    if (r.exitCode == 0 && left.empty()) {
        c.out << "Restored from " << path << " (reg.exe exit code 0)\n";
        return kDone;
    }
    if (r.exitCode != 0)
        c.Error() << "reg.exe import failed with exit code " << r.exitCode << "\n";
    if (!left.empty())
        c.Error() << "after reg.exe import (exit code " << r.exitCode << "), " << left.size()
                  << " values still differ from " << path << ":\n";
    for (const std::string& change : left)
        c.Error() << "  not restored: " << NamedForUser(change) << "\n";
    return kSomeFailed;
}

// The whole file read and checked against `coverage`: kDone, or kBadInput
// with its first offending line said.
int ReadChecked(Console& c, const std::string& path, const Coverage& coverage,
                std::vector<RegFileEntry>* entries) {
    std::string bytes;
    if (const DWORD status = ReadWholeFile(path, &bytes); status != ERROR_SUCCESS) {
        c.Error() << "cannot read " << path << ": " << ErrorText(status) << "\n";
        return kBadInput;
    }
    RegFileFault fault;
    if (!ReadBackup(bytes, coverage, entries, &fault)) {
        if (const char* why = OtherForm(bytes, coverage)) {
            c.Error() << path << " " << why << "; nothing was restored\n";
            return kBadInput;
        }
        c.Error() << path << ": line " << fault.line << ": " << fault.what << "\n";
        c.Error() << "nothing was restored\n";
        return kBadInput;
    }
    return kDone;
}

// The machine-wide keys once, then those of each profile of the machine
// that the file names HKEY_USERS\<SID>, with HKEY_CURRENT_USER redirected
// to it (its file loaded when its user is not signed in).
int RestoreEvery(Console& c, const Arguments& a) {
    const std::string& path = a.words[0];
    std::vector<Profile> profiles;
    if (!ReadProfiles(c, &profiles))
        return kSomeFailed;
    std::erase_if(profiles, [](const Profile& p) { return p.sid.empty(); });
    Coverage coverage = BackupCoverage();
    for (const Profile& p : profiles)
        coverage.profileRoots.push_back(L"HKEY_USERS\\" + Wide(p.sid));
    std::vector<RegFileEntry> entries;
    if (const int code = ReadChecked(c, path, coverage, &entries); code != kDone)
        return code;
    // The machine-wide entries first, then each profile's.
    std::vector<std::vector<RegFileEntry>> parts(profiles.size() + 1);
    for (const RegFileEntry& e : entries)
        parts[e.root == HKCU ? e.profile + 1 : 0].push_back(e);
    int code = kDone;
    auto restore = [&](const std::string& heading, const std::vector<RegFileEntry>& part) {
        c.out << heading << "\n";
        code = std::max(code, a.Has(kRestoreDryRun) ? RestoreDryRun(c, path, part)
                                                    : Import(c, path, part));
    };
    restore("Machine-wide", parts[0]);
    std::vector<Profile> named;
    for (size_t n = 0; n < profiles.size(); ++n)
        if (!parts[n + 1].empty())
            named.push_back(profiles[n]);
    const size_t refused = Walk(
        named,
        [&](const Profile& p) {
            for (size_t n = 0; n < profiles.size(); ++n)
                if (profiles[n].sid == p.sid)
                    restore(Heading(p), parts[n + 1]);
        },
        [&](const Profile& p, const std::string& why) { SayRefused(c, p, why); });
    return refused ? kSomeFailed : code;
}

// Checks the whole file before anything of it is imported, and imports
// exactly what was checked, from a copy of its own.
int Restore(Console& c, const Arguments& a) {
    if (a.allUsers)
        return RestoreEvery(c, a);
    const std::string& path = a.words[0];
    std::vector<RegFileEntry> entries;
    if (const int code = ReadChecked(c, path, BackupCoverage(), &entries); code != kDone)
        return code;
    if (const std::string why = RestoreRefusal(entries); !why.empty()) {
        c.Error() << why << "; nothing was restored\n";
        return kBadInput;
    }
    if (a.Has(kRestoreDryRun))
        return RestoreDryRun(c, path, entries);
    return Import(c, path, entries);
}

} // namespace

bool WriteBackup(Console& c, const Scopes& scopes, const std::string& path,
                 const std::string& folder, std::string* written, std::string* failure) {
    Utf16String text;
    std::vector<LeftOut> leftOut;
    if (!TakeBackup(scopes, &text, &leftOut, failure)) {
        c.Error() << "no backup made: " << *failure << "\n";
        return false;
    }
    *written = path;
    const std::string stem = (folder.empty() ? "" : folder + "\\") + LocalStamp(kBackupName);
    const DWORD status = path.empty()
                             ? WriteNewNumberedFile(stem, ".reg", FileBytes(text), written,
                                                    folder.empty() ? nullptr : DataSecurity())
                             : WriteNewFile(path, FileBytes(text));
    if (status != ERROR_SUCCESS) {
        *failure = WriteFailure(status, *written);
        c.Error() << *failure << (status == ERROR_FILE_EXISTS ? "; " : "")
                  << (status == ERROR_FILE_EXISTS ? kBackupRefusal : "") << "\n";
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

// clang-format off
const Command kBackupCommand{"backup", "FILE.reg", Arity::One, {},
    "saves every value the tweaks touch, for restore", Backup, true, false, true};
const Command kRestoreCommand{"restore", "FILE.reg", Arity::One, {&kRestoreDryRun},
    "checks a backup whole, then imports it with the\nsystem's reg.exe", Restore, true, true, true};
// clang-format on

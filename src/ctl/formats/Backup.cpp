#include "ctl/formats/Backup.h"

#include "ctl/output/Text.h"
#include "ctl/output/Words.h"
#include "system/OfflineImage.h"
#include "system/UserHive.h"

#include <vector>

namespace {

constexpr wchar_t kEol[] = L"\r\n";

// The notes under the header: what the file holds and how to put it back,
// with the option that names whose per-user keys it holds.
constexpr wchar_t kNotes[] =
    L"; morvanectl: every registry value that the fifty tweaks read or write,\r\n"
    L"; as it stood when this file was made.\r\n";
constexpr wchar_t kNotesAfter[] =
    L"; A restore writes values only: it starts or stops no service, whatever\r\n"
    L"; start type it puts back. Keys that did not exist stay, empty.\r\n";

std::wstring RestoreNote(bool allUsers) {
    const std::string root = CurrentUserRootText();
    const size_t slash = root.find('\\');
    const std::string whose = slash == std::string::npos ? "" : root.substr(slash + 1);
    std::string note = "; Restore: morvanectl ";
    if (allUsers)
        note += "--all-users restore FILE; reg import FILE puts back the\r\n"
                "; profiles signed in only.\r\n";
    else if (root == kImageUserRoot)
        note += "--image DIR restore FILE, DIR the offline image it was\r\n"
                "; taken from.\r\n";
    else if (whose == kHiveMount)
        note += "--hive PROFILE restore FILE, PROFILE the profile file\r\n"
                "; it was taken from.\r\n";
    else
        note += (whose.empty() ? "" : "--user " + whose + " ") +
                "restore FILE,\r\n; reg import FILE or regedit /s FILE.\r\n";
    return Wide(note);
}

RegFileEntry Entry(RegFileEntry::Kind kind, RegRoot root, const std::wstring& key,
                   const std::wstring& name = {}, const RegData& data = {}) {
    return {kind, 0, root, key, name, data};
}

bool Included(BackupPart part, RegRoot root) {
    return part == BackupPart::Everything || (root == HKCU) == (part == BackupPart::PerUser);
}

// Each covered key's values as they stand; a written value that is missing
// is deleted on restore. A key's header alone would create it on restore.
bool ValueEntries(const Coverage& coverage, BackupPart part, size_t profile,
                  std::vector<RegFileEntry>* out, std::string* error) {
    for (const CoveredKey& k : coverage.keys) {
        if (!Included(part, k.root))
            continue;
        std::vector<RegFileEntry> lines;
        for (const auto& [name, written] : k.names) {
            bool found = false;
            RegData data;
            const LSTATUS status = ReadRegValueW(k.root, k.key, name, &found, &data);
            if (status != ERROR_SUCCESS) {
                *error = "cannot read " + KeyName(k.root, Utf8(k.key).c_str()) + " : " +
                         Utf8(name) + ": " + ErrorText(status);
                return false;
            }
            if (found || written)
                lines.push_back(Entry(found ? RegFileEntry::SetValue : RegFileEntry::DeleteValue,
                                      k.root, k.key, name, data));
        }
        if (lines.empty())
            continue;
        lines.insert(lines.begin(), Entry(RegFileEntry::Key, k.root, k.key));
        for (RegFileEntry& e : lines) {
            e.profile = profile;
            out->push_back(std::move(e));
        }
    }
    return true;
}

// One key of a class tree with its values; a created key without a default
// value of its own gets it deleted.
bool TreeKeyEntries(const Coverage& coverage, const RegKeyContentsW& key,
                    std::vector<RegFileEntry>* out, std::string* error) {
    if (!FitsOnALine(key.path)) {
        *error =
            "the key " + Shortened(Utf8(key.path)) + " has a name that a .reg file cannot hold";
        return false;
    }
    out->push_back(Entry(RegFileEntry::Key, HKCR, key.path));
    bool hasDefault = false;
    for (const auto& [name, data] : key.values) {
        if (!FitsOnALine(name)) {
            *error = "the value " + Shortened(Utf8(name)) + " of " + Shortened(Utf8(key.path)) +
                     " has a name that a .reg file cannot hold";
            return false;
        }
        hasDefault = hasDefault || name.empty();
        out->push_back(Entry(RegFileEntry::SetValue, HKCR, key.path, name, data));
    }
    for (const std::wstring& created : coverage.createdClassKeys)
        if (!hasDefault && SameKeyName(created, key.path))
            out->push_back(Entry(RegFileEntry::DeleteValue, HKCR, key.path));
    return true;
}

// A verb's key comes back as it was. Only what did not exist is deleted:
// the whole key when it was missing, otherwise the keys and default values
// that a tweak creates there.
bool TreeEntries(const Coverage& coverage, const std::wstring& tree, std::vector<RegFileEntry>* out,
                 std::string* error) {
    std::vector<RegKeyContentsW> keys;
    const LSTATUS status = ReadRegTreeW(HKCR, tree, &keys);
    if (status == ERROR_FILE_NOT_FOUND) {
        out->push_back(Entry(RegFileEntry::DeleteKey, HKCR, tree));
        return true;
    }
    if (status != ERROR_SUCCESS) {
        *error = "cannot read " + KeyName(HKCR, Utf8(tree).c_str()) +
                 " whole: " + ErrorText(status) + "; a backup without it would not put it back";
        return false;
    }
    for (const RegKeyContentsW& key : keys)
        if (!TreeKeyEntries(coverage, key, out, error))
            return false;
    for (const std::wstring& created : coverage.createdClassKeys) {
        bool present = false;
        for (const RegKeyContentsW& key : keys)
            present = present || SameKeyName(created, key.path);
        if (!present && coverage.TreeOf(created) == &tree)
            out->push_back(Entry(RegFileEntry::DeleteKey, HKCR, created));
    }
    return true;
}

} // namespace

bool BackupEntries(BackupPart part, size_t profile, std::vector<RegFileEntry>* entries,
                   std::string* error) {
    const Coverage coverage = BackupCoverage();
    if (!ValueEntries(coverage, part, profile, entries, error))
        return false;
    if (!Included(part, HKCR))
        return true;
    for (const std::wstring& tree : coverage.classTrees)
        if (!TreeEntries(coverage, tree, entries, error))
            return false;
    return true;
}

Utf16String BackupNotes(const std::string& taken, bool allUsers,
                        const std::vector<std::string>& more) {
    Utf16String notes = std::wstring(kEol) + kNotes + RestoreNote(allUsers) + kNotesAfter +
                        RegComment("Taken " + taken) + kEol;
    for (const std::string& note : more)
        notes += kEol + RegComment(note) + kEol;
    return notes;
}

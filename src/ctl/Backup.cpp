#include "ctl/Backup.h"

#include "ctl/Text.h"
#include "ctl/Words.h"
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
    else if (whose == kHiveMount)
        note += "--hive PROFILE restore FILE, PROFILE the profile file\r\n"
                "; it was taken from.\r\n";
    else
        note += (whose.empty() ? "" : "--user " + whose + " ") +
                "restore FILE,\r\n; reg import FILE or regedit /s FILE.\r\n";
    return Wide(note);
}

// Each covered key's values as they stand; a written value that is missing
// is deleted on restore.
bool ValueSections(const Coverage& coverage, std::wstring* out, std::string* error) {
    for (const CoveredKey& k : coverage.keys) {
        std::wstring lines;
        for (const auto& [name, written] : k.names) {
            bool found = false;
            RegData data;
            const LSTATUS status = ReadRegValueW(k.root, k.key, name, &found, &data);
            if (status != ERROR_SUCCESS) {
                *error = "cannot read " + KeyName(k.root, Utf8(k.key).c_str()) + " : " +
                         Utf8(name) + ": " + ErrorText(status);
                return false;
            }
            if (found)
                lines += RegLine(name, data) + kEol;
            else if (written)
                lines += RegDeletionLine(name) + kEol;
        }
        // A section header alone would create its key on restore.
        if (!lines.empty())
            *out += L"[" + coverage.RootName(k.root) + L"\\" + k.key + L"]" + kEol + lines + kEol;
    }
    return true;
}

// One key of a class tree with its values; a created key without a default
// value of its own gets it deleted.
bool TreeKeySection(const Coverage& coverage, const std::wstring& top, const RegKeyContentsW& key,
                    std::wstring* out, std::string* error) {
    if (!FitsOnALine(key.path)) {
        *error =
            "the key " + Shortened(Utf8(key.path)) + " has a name that a .reg file cannot hold";
        return false;
    }
    *out += L"[" + top + key.path + L"]" + kEol;
    bool hasDefault = false;
    for (const auto& [name, data] : key.values) {
        if (!FitsOnALine(name)) {
            *error = "the value " + Shortened(Utf8(name)) + " of " + Shortened(Utf8(key.path)) +
                     " has a name that a .reg file cannot hold";
            return false;
        }
        hasDefault = hasDefault || name.empty();
        *out += RegLine(name, data) + kEol;
    }
    for (const std::wstring& created : coverage.createdClassKeys)
        if (!hasDefault && SameKeyName(created, key.path))
            *out += std::wstring(L"@=-") + kEol;
    *out += kEol;
    return true;
}

// A verb's key comes back as it was. Only what did not exist is deleted:
// the whole key when it was missing, otherwise the keys and default values
// that a tweak creates there.
bool TreeSections(const Coverage& coverage, const std::wstring& tree, std::wstring* out,
                  std::string* error) {
    const std::wstring top = coverage.RootName(HKCR) + L"\\";
    std::vector<RegKeyContentsW> keys;
    const LSTATUS status = ReadRegTreeW(HKCR, tree, &keys);
    if (status == ERROR_FILE_NOT_FOUND) {
        *out += L"[-" + top + tree + L"]" + kEol + kEol;
        return true;
    }
    if (status != ERROR_SUCCESS) {
        *error = "cannot read " + KeyName(HKCR, Utf8(tree).c_str()) +
                 " whole: " + ErrorText(status) + "; a backup without it would not put it back";
        return false;
    }
    for (const RegKeyContentsW& key : keys)
        if (!TreeKeySection(coverage, top, key, out, error))
            return false;
    for (const std::wstring& created : coverage.createdClassKeys) {
        bool present = false;
        for (const RegKeyContentsW& key : keys)
            present = present || SameKeyName(created, key.path);
        if (!present && coverage.TreeOf(created) == &tree)
            *out += L"[-" + top + created + L"]" + kEol + kEol;
    }
    return true;
}

} // namespace

bool BackupText(const std::string& taken, std::wstring* text, std::string* error, bool allUsers) {
    const Coverage coverage = BackupCoverage();
    std::wstring out = std::wstring(kRegHeader) + kEol + kEol + kNotes + RestoreNote(allUsers) +
                       kNotesAfter + RegComment("Taken " + taken) + kEol + kEol;
    if (!ValueSections(coverage, &out, error))
        return false;
    for (const std::wstring& tree : coverage.classTrees)
        if (!TreeSections(coverage, tree, &out, error))
            return false;
    out += std::wstring(kEndMarker) + kEol;
    *text = std::move(out);
    return true;
}

#include "ctl/Backup.h"

#include "ctl/Text.h"
#include "ctl/Words.h"
#include "system/UserHive.h"
#include "tweaks/Tweaks.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr wchar_t kEol[] = L"\r\n";

} // namespace

bool SameKeyName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Every value a row reads or writes, grouped by key in the order the tables
// first name them. A per-user read looks under HKCU and then HKLM, so both
// are kept. Keys differing only in case are one key. A value that no row
// writes needs restoring only when it exists.
Coverage BackupCoverage() {
    Coverage c;
    c.userRoot = Wide(CurrentUserRootText());
    auto add = [&c](RegRoot root, const char* key, const char* name, bool written) {
        const std::wstring path = Wide(KeyPath(key));
        const std::wstring value = Wide(name ? name : "");
        for (CoveredKey& k : c.keys)
            if (k.root == root && SameKeyName(k.key, path)) {
                for (auto& [n, w] : k.names)
                    if (SameKeyName(n, value)) {
                        w = w || written;
                        return;
                    }
                k.names.emplace_back(value, written);
                return;
            }
        c.keys.push_back({root, path, {{value, written}}});
    };
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Phrase& p : *cell)
                    if (p.kind == PhraseKind::DeleteClassKey && !c.TreeOf(Wide(p.key)))
                        c.classTrees.push_back(Wide(p.key));
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            for (const Condition& condition : row.checkedWhen) {
                if (condition.kind == Condition::StringEquals || condition.search == HkcuFirst)
                    add(HKCU, condition.key, condition.name, false);
                add(HKLM, condition.key, condition.name, false);
            }
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Phrase& p : *cell) {
                    switch (p.kind) {
                    case PhraseKind::SetDword:
                    case PhraseKind::SetString:
                    case PhraseKind::DeleteValue:
                        add(p.root, p.key, p.name, true);
                        break;
                    case PhraseKind::CreateClassKey:
                        if (c.TreeOf(Wide(p.key)))
                            c.createdClassKeys.push_back(Wide(p.key));
                        else
                            add(HKCR, p.key, "", true);
                        break;
                    case PhraseKind::DeleteClassKey:
                    case PhraseKind::Run:
                        break;
                    }
                }
        }
    return c;
}

bool BackupText(const std::string& taken, std::wstring* text, std::string* error) {
    const Coverage coverage = BackupCoverage();
    std::wstring out = std::wstring(kRegHeader) + kEol + kEol;
    for (const wchar_t* note : {
             L"; morvanectl: every registry value that the fifty tweaks read or write,",
             L"; as it stood when this file was made.",
             L"; Restore: morvanectl restore FILE, reg import FILE or regedit /s FILE.",
             L"; A restore writes values only: it starts or stops no service, whatever",
             L"; start type it puts back. Keys that did not exist stay, empty.",
         })
        out += std::wstring(note) + kEol;
    out += L"; Taken " + Wide(taken) + kEol + kEol;

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
            out += L"[" + coverage.RootName(k.root) + L"\\" + k.key + L"]" + kEol + lines + kEol;
    }

    // A verb's key comes back as it was. Only what did not exist is
    // deleted: the whole key when it was missing, otherwise the keys and
    // default values that a tweak creates there.
    const std::wstring top = coverage.RootName(HKCR) + L"\\";
    for (const std::wstring& tree : coverage.classTrees) {
        std::vector<RegKeyContentsW> keys;
        const LSTATUS status = ReadRegTreeW(HKCR, tree, &keys);
        if (status == ERROR_FILE_NOT_FOUND) {
            out += L"[-" + top + tree + L"]" + kEol + kEol;
            continue;
        }
        if (status != ERROR_SUCCESS) {
            *error = "cannot read " + KeyName(HKCR, Utf8(tree).c_str()) +
                     " whole: " + ErrorText(status) + "; a backup without it would not put it back";
            return false;
        }
        for (const RegKeyContentsW& key : keys) {
            if (!FitsOnALine(key.path)) {
                *error = "the key " + Shortened(Utf8(key.path)) +
                         " has a name that a .reg file cannot hold";
                return false;
            }
            out += L"[" + top + key.path + L"]" + kEol;
            bool hasDefault = false;
            for (const auto& [name, data] : key.values) {
                if (!FitsOnALine(name)) {
                    *error = "the value " + Shortened(Utf8(name)) + " of " +
                             Shortened(Utf8(key.path)) + " has a name that a .reg file cannot hold";
                    return false;
                }
                hasDefault = hasDefault || name.empty();
                out += RegLine(name, data) + kEol;
            }
            for (const std::wstring& created : coverage.createdClassKeys)
                if (!hasDefault && SameKeyName(created, key.path))
                    out += std::wstring(L"@=-") + kEol;
            out += kEol;
        }
        for (const std::wstring& created : coverage.createdClassKeys) {
            bool present = false;
            for (const RegKeyContentsW& key : keys)
                present = present || SameKeyName(created, key.path);
            if (!present && coverage.TreeOf(created) == &tree)
                out += L"[-" + top + created + L"]" + kEol + kEol;
        }
    }
    out += std::wstring(kEndMarker) + kEol;
    *text = std::move(out);
    return true;
}

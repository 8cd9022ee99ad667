#include "ctl/Backup.h"

#include "ctl/Text.h"
#include "ctl/Words.h"
#include "system/UserHive.h"
#include "tweaks/Tweaks.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr wchar_t kEol[] = L"\r\n";
constexpr size_t kWrapAt = 76; // regedit's own line width for hex data

std::wstring Quoted(std::wstring_view text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            out += L'\\';
        out += c;
    }
    out += L'"';
    return out;
}

// What a line of the file can hold and give back unchanged: no line break,
// no other control character, no unpaired surrogate.
bool Writable(std::wstring_view text) {
    for (wchar_t c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return WellFormed(text);
}

// UTF-16 text that a quoted string gives back unit for unit: one
// terminating NUL and nothing that would break or end the line.
bool PlainText(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2)
        return false;
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), bytes.size());
    if (text.back() != L'\0')
        return false;
    text.pop_back();
    return Writable(text);
}

std::wstring NameOf(const std::wstring& name) {
    return name.empty() ? std::wstring(L"@") : Quoted(name);
}

} // namespace

bool SameKeyName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Coverage::RootName(RegRoot root) const {
    return root == HKCU ? userRoot : Wide(RootFullName(root));
}

const CoveredKey* Coverage::Find(RegRoot root, std::wstring_view key) const {
    for (const CoveredKey& k : keys)
        if (k.root == root && SameKeyName(k.key, key))
            return &k;
    return nullptr;
}

const std::wstring* Coverage::TreeOf(std::wstring_view key) const {
    for (const std::wstring& tree : classTrees)
        if (key.size() >= tree.size() && SameKeyName(key.substr(0, tree.size()), tree) &&
            (key.size() == tree.size() || key[tree.size()] == L'\\'))
            return &tree;
    return nullptr;
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

std::wstring RegLine(const std::wstring& name, const RegData& data) {
    std::wstring line = NameOf(name) + L"=";
    if (data.type == REG_DWORD && data.bytes.size() == 4) {
        DWORD n;
        memcpy(&n, data.bytes.data(), 4);
        wchar_t digits[16];
        swprintf(digits, 16, L"dword:%08lx", static_cast<unsigned long>(n));
        return line + digits;
    }
    if (data.type == REG_SZ && PlainText(data.bytes)) {
        std::wstring text(data.bytes.size() / 2 - 1, L'\0');
        memcpy(text.data(), data.bytes.data(), text.size() * 2);
        return line + Quoted(text);
    }
    wchar_t prefix[32];
    if (data.type == REG_BINARY)
        swprintf(prefix, 32, L"hex:");
    else
        swprintf(prefix, 32, L"hex(%lx):", static_cast<unsigned long>(data.type));
    line += prefix;
    size_t width = line.size();
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    for (size_t i = 0; i < data.bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(data.bytes[i]);
        line += kDigits[byte >> 4];
        line += kDigits[byte & 15];
        width += 2;
        if (i + 1 < data.bytes.size()) {
            line += L',';
            ++width;
            if (width >= kWrapAt) {
                line += L"\\";
                line += kEol;
                line += L"  ";
                width = 2;
            }
        }
    }
    return line;
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
                lines += NameOf(name) + L"=-" + kEol;
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
            if (!Writable(key.path)) {
                *error = "the key " + Shortened(Utf8(key.path)) +
                         " has a name that a .reg file cannot hold";
                return false;
            }
            out += L"[" + top + key.path + L"]" + kEol;
            bool hasDefault = false;
            for (const auto& [name, data] : key.values) {
                if (!Writable(name)) {
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

std::string FileBytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    const size_t at = bytes.size();
    bytes.resize(at + text.size() * 2);
    memcpy(bytes.data() + at, text.data(), text.size() * 2);
    return bytes;
}

// Fuzz target for the backup reader that decides what restore imports. Any
// input is read against a coverage like the program's, for the caller and
// for another user's root. What must hold: an accepted file's entries are
// each inside the coverage, and written out again by the writer's own lines
// they read back to the same entries.
#include "ctl/RegFile.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "backup reader property broken: %s\n", what);
        abort();
    }
}

Utf16String Ascii(const char* text) {
    return Utf16String(text, text + std::char_traits<char>::length(text));
}

// Keys and values of a few tweaks, both roots of a per-user read, and the
// verb's key that goes whole.
Coverage MakeCoverage(const char* userRoot) {
    Coverage c;
    c.userRoot = Ascii(userRoot);
    const char* advanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
    for (RegRoot root : {HKCU, HKLM}) {
        c.keys.push_back({root,
                          Ascii(advanced),
                          {{Ascii("Hidden"), root == HKCU}, {Ascii("HideFileExt"), root == HKCU}}});
        c.keys.push_back(
            {root,
             Ascii("Software\\Quelt"),
             {{Ascii("Compressed Folder"), root == HKCU}, {Ascii("Edit Window"), true}}});
    }
    c.keys.push_back({HKCU,
                      Ascii("Software\\Microsoft\\Internet Explorer\\Main"),
                      {{Ascii("Start Page"), true}, {Ascii(""), false}}});
    c.keys.push_back(
        {HKLM, Ascii("System\\CurrentControlSet\\Services\\WerSvc"), {{Ascii("Start"), true}}});
    c.classTrees.push_back(Ascii("*\\shell\\edit"));
    c.createdClassKeys.push_back(Ascii("*\\shell\\edit"));
    c.createdClassKeys.push_back(Ascii("*\\shell\\edit\\command"));
    return c;
}

bool Inside(const Coverage& c, const RegFileEntry& e) {
    if (e.root == HKCR && c.TreeOf(e.key))
        return true;
    if (e.kind == RegFileEntry::DeleteKey)
        return false;
    const CoveredKey* key = c.Find(e.root, e.key);
    if (!key || e.kind == RegFileEntry::Key)
        return key != nullptr;
    for (const auto& [name, written] : key->names)
        if (SameCoveredName(name, e.name))
            return true;
    return false;
}

// The entries as the writer would put them: header, each key line, each
// value by RegLine or RegDeletionLine, the end marker.
Utf16String Written(const Coverage& c, const std::vector<RegFileEntry>& entries) {
    const Utf16String eol = Ascii("\r\n");
    Utf16String text = kRegHeader + eol + eol;
    for (const RegFileEntry& e : entries) {
        const Utf16String path = c.RootName(e.root) + Ascii("\\") + e.key;
        switch (e.kind) {
        case RegFileEntry::DeleteKey:
            text += Ascii("[-") + path + Ascii("]") + eol;
            break;
        case RegFileEntry::Key:
            text += Ascii("[") + path + Ascii("]") + eol;
            break;
        case RegFileEntry::SetValue:
            text += RegLine(e.name, e.data) + eol;
            break;
        case RegFileEntry::DeleteValue:
            text += RegDeletionLine(e.name) + eol;
            break;
        }
    }
    return text + eol + kEndMarker + eol;
}

bool SameEntries(const std::vector<RegFileEntry>& a, const std::vector<RegFileEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].root != b[i].root || a[i].key != b[i].key ||
            a[i].name != b[i].name || !(a[i].data == b[i].data))
            return false;
    return true;
}

void ReadAgainst(const Coverage& coverage, std::string_view bytes) {
    std::vector<RegFileEntry> entries;
    RegFileFault fault;
    if (!ReadBackup(bytes, coverage, &entries, &fault)) {
        Check(fault.line >= 1 && !fault.what.empty(), "a refusal names its line and why");
        return;
    }
    int previous = 1;
    for (const RegFileEntry& e : entries) {
        Check(Inside(coverage, e), "an accepted entry is inside the coverage");
        Check(e.line > previous, "entries in file order, after the header");
        previous = e.line;
    }
    const std::string again = FileBytes(Written(coverage, entries));
    std::vector<RegFileEntry> reread;
    Check(ReadBackup(again, coverage, &reread, &fault), "the written entries are accepted");
    Check(SameEntries(entries, reread), "the written entries read back the same");
    Check(FileBytes(Written(coverage, reread)) == again, "writing is stable");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Coverage caller = MakeCoverage("HKEY_CURRENT_USER");
    static const Coverage other = MakeCoverage("HKEY_USERS\\S-1-5-21-1-2-3-1013");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadAgainst(caller, bytes);
    ReadAgainst(other, bytes);
    return 0;
}

// Fuzz target for the backup reader that decides what restore imports. Any
// input is read against a coverage like the program's, for the caller, for
// another user's root and for every profile's at once. What must hold: an
// accepted file's entries are each inside the coverage, and written out
// again as a restore writes them they read back to the same entries.
#include "ctl/formats/RegFile.h"

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

bool SameEntries(const std::vector<RegFileEntry>& a, const std::vector<RegFileEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].root != b[i].root || a[i].key != b[i].key ||
            a[i].name != b[i].name || !(a[i].data == b[i].data) || a[i].profile != b[i].profile)
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
    const std::string again = FileBytes(EntriesText(coverage, entries));
    std::vector<RegFileEntry> reread;
    Check(ReadBackup(again, coverage, &reread, &fault), "the written entries are accepted");
    Check(SameEntries(entries, reread), "the written entries read back the same");
    Check(FileBytes(EntriesText(coverage, reread)) == again, "writing is stable");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Coverage caller = MakeCoverage("HKEY_CURRENT_USER");
    static const Coverage other = MakeCoverage("HKEY_USERS\\S-1-5-21-1-2-3-1013");
    static const Coverage every = [] {
        Coverage c = MakeCoverage("HKEY_CURRENT_USER");
        c.profileRoots = {Ascii("HKEY_USERS\\S-1-5-21-1-2-3-1013"),
                          Ascii("HKEY_USERS\\S-1-5-21-1-2-3-1014")};
        return c;
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ReadAgainst(caller, bytes);
    ReadAgainst(other, bytes);
    ReadAgainst(every, bytes);
    return 0;
}

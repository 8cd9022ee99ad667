#include "ctl/Backup.h"

#include "ctl/Words.h"
#include "tweaks/Tweaks.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kEol[] = "\r\n";
constexpr size_t kWrapAt = 76; // regedit's own line width for hex data

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Text that a quoted string gives back byte for byte: one terminating NUL
// and nothing that would break or end the line.
bool PlainText(const std::string& bytes) {
    if (bytes.empty() || bytes.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

struct Section {
    RegRoot root;
    std::string key;
    std::vector<std::pair<std::string, bool>> names; // and whether a row writes it
};

// Every value a row reads or writes, grouped by key in the order the tables
// first name them. A per-user read looks under HKCU and then HKLM, so both
// are kept. Keys differing only in case are one key. A value that no row
// writes needs restoring only when it exists.
struct Inventory {
    std::vector<Section> sections;
    std::vector<std::string> classTrees; // HKCR keys kept whole

    void Add(RegRoot root, const char* key, const char* name, bool written) {
        const std::string path = KeyPath(key);
        const std::string value = name ? name : "";
        for (Section& s : sections)
            if (s.root == root && SameName(s.key, path)) {
                for (auto& [n, w] : s.names)
                    if (SameName(n, value)) {
                        w = w || written;
                        return;
                    }
                s.names.emplace_back(value, written);
                return;
            }
        sections.push_back({root, path, {{value, written}}});
    }
    bool InClassTree(const char* key) const {
        for (const std::string& tree : classTrees)
            if (_strnicmp(key, tree.c_str(), tree.size()) == 0 &&
                (key[tree.size()] == '\0' || key[tree.size()] == '\\'))
                return true;
        return false;
    }
};

Inventory TakeInventory() {
    Inventory inventory;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Phrase& p : *cell)
                    if (p.kind == PhraseKind::DeleteClassKey && !inventory.InClassTree(p.key))
                        inventory.classTrees.push_back(p.key);
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            for (const Condition& c : row.checkedWhen) {
                if (c.kind == Condition::StringEquals || c.search == HkcuFirst)
                    inventory.Add(HKCU, c.key, c.name, false);
                inventory.Add(HKLM, c.key, c.name, false);
            }
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Phrase& p : *cell) {
                    switch (p.kind) {
                    case PhraseKind::SetDword:
                    case PhraseKind::SetString:
                    case PhraseKind::DeleteValue:
                        inventory.Add(p.root, p.key, p.name, true);
                        break;
                    case PhraseKind::CreateClassKey:
                        if (!inventory.InClassTree(p.key))
                            inventory.Add(HKCR, p.key, "", true);
                        break;
                    case PhraseKind::DeleteClassKey:
                    case PhraseKind::Run:
                        break;
                    }
                }
        }
    return inventory;
}

} // namespace

std::string RegLine(const std::string& name, const RegData& data) {
    std::string line = name.empty() ? std::string("@") : Quoted(name);
    line += '=';
    if (data.type == REG_DWORD && data.bytes.size() == 4) {
        DWORD n;
        memcpy(&n, data.bytes.data(), 4);
        char digits[16];
        snprintf(digits, sizeof(digits), "dword:%08lx", static_cast<unsigned long>(n));
        return line + digits;
    }
    if (data.type == REG_SZ && PlainText(data.bytes))
        return line + Quoted(data.bytes.substr(0, data.bytes.size() - 1));
    char prefix[32];
    if (data.type == REG_BINARY)
        snprintf(prefix, sizeof(prefix), "hex:");
    else
        snprintf(prefix, sizeof(prefix), "hex(%lx):", static_cast<unsigned long>(data.type));
    line += prefix;
    size_t width = line.size();
    for (size_t i = 0; i < data.bytes.size(); ++i) {
        char byte[4];
        snprintf(byte, sizeof(byte), "%02x", static_cast<unsigned char>(data.bytes[i]));
        line += byte;
        width += 2;
        if (i + 1 < data.bytes.size()) {
            line += ',';
            ++width;
            if (width >= kWrapAt) {
                line += "\\";
                line += kEol;
                line += "  ";
                width = 2;
            }
        }
    }
    return line;
}

bool BackupText(const std::string& taken, std::string* text, std::string* error) {
    const Inventory inventory = TakeInventory();
    std::string out = std::string("REGEDIT4") + kEol + kEol;
    for (const char* note : {
             "; morvanectl: every registry value that the fifty tweaks read or write,",
             "; as it stood when this file was made.",
             "; Restore: morvanectl restore FILE, reg import FILE or regedit /s FILE.",
             "; A restore writes values only: it starts or stops no service, whatever",
             "; start type it puts back. Keys that did not exist stay, empty.",
         })
        out += std::string(note) + kEol;
    out += "; Taken " + taken + kEol + kEol;

    for (const Section& s : inventory.sections) {
        std::string lines;
        for (const auto& [name, written] : s.names) {
            bool found = false;
            RegData data;
            const LSTATUS status = ReadRegValue(s.root, s.key.c_str(), name.c_str(), &found, &data);
            if (status != ERROR_SUCCESS) {
                *error = "cannot read " + KeyName(s.root, s.key.c_str()) + " : " + name + ": " +
                         ErrorText(status);
                return false;
            }
            if (found)
                lines += RegLine(name, data) + kEol;
            else if (written)
                lines.append(name.empty() ? std::string("@") : Quoted(name))
                    .append("=-")
                    .append(kEol);
        }
        // A section header alone would create its key on restore.
        if (!lines.empty())
            out.append("[")
                .append(RootFullName(s.root))
                .append("\\")
                .append(s.key)
                .append("]")
                .append(kEol)
                .append(lines)
                .append(kEol);
    }

    // A verb's key goes as a whole, and comes back exactly as it was: what a
    // check added to it since is removed with it.
    for (const std::string& tree : inventory.classTrees) {
        const std::string top = std::string(RootFullName(HKCR)) + "\\";
        out += "[-" + top + tree + "]" + kEol + kEol;
        std::vector<RegKeyContents> keys;
        const LSTATUS status = ReadRegTree(HKCR, tree.c_str(), &keys);
        if (status == ERROR_FILE_NOT_FOUND)
            continue;
        if (status != ERROR_SUCCESS) {
            *error = "cannot read " + KeyName(HKCR, tree.c_str()) + ": " + ErrorText(status);
            return false;
        }
        for (const RegKeyContents& key : keys) {
            out += "[" + top + key.path + "]" + kEol;
            for (const auto& [name, data] : key.values)
                out += RegLine(name, data) + kEol;
            out += kEol;
        }
    }
    *text = std::move(out);
    return true;
}

#include "ctl/RegFile.h"

#include "ctl/Text.h"
#include "ctl/Words.h"

#include <algorithm>
#include <cstring>

namespace {

struct Line {
    int number;
    std::wstring_view text;
};

// The file split at CR LF (or a lone LF).
std::vector<Line> Lines(std::wstring_view text) {
    std::vector<Line> lines;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find(L'\n');
        std::wstring_view line = text.substr(0, end);
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
        if (line.ends_with(L'\r'))
            line.remove_suffix(1);
        lines.push_back({++number, line});
    }
    return lines;
}

bool HexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

unsigned HexValue(wchar_t c) {
    return c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10;
}

// A quoted string at the start of `text` with \\ and \" as its only
// escapes; `text` is left after the closing quote.
bool TakeQuoted(std::wstring_view* text, std::wstring* out) {
    if (!text->starts_with(L'"'))
        return false;
    out->clear();
    for (size_t i = 1; i < text->size(); ++i) {
        const wchar_t c = (*text)[i];
        if (c == L'"') {
            text->remove_prefix(i + 1);
            return true;
        }
        if (c == L'\\') {
            if (i + 1 == text->size() || ((*text)[i + 1] != L'\\' && (*text)[i + 1] != L'"'))
                return false;
            *out += (*text)[++i];
            continue;
        }
        *out += c;
    }
    return false;
}

// "01,ff,..." with nothing else.
bool HexBytes(std::wstring_view text, std::string* bytes) {
    bytes->clear();
    while (!text.empty()) {
        if (text.size() < 2 || !HexDigit(text[0]) || !HexDigit(text[1]))
            return false;
        bytes->push_back(static_cast<char>(HexValue(text[0]) * 16 + HexValue(text[1])));
        text.remove_prefix(2);
        if (text.empty())
            break;
        if (text[0] != L',' || text.size() == 1)
            return false;
        text.remove_prefix(1);
    }
    return true;
}

bool Blank(std::wstring_view line) {
    return line.find_first_not_of(L" \t") == std::wstring_view::npos;
}

std::string Quote(std::wstring_view line) {
    return "\"" + Shortened(Utf8(line), 100) + "\"";
}

std::string ShortRoot(RegRoot root) {
    return root == HKLM ? "HKLM" : root == HKCR ? "HKCR" : "HKCU";
}

std::string Where(RegRoot root, const std::wstring& key) {
    return ShortRoot(root) + "\\" + Utf8(key);
}

std::string ValueWhere(RegRoot root, const std::wstring& key, const std::wstring& name) {
    return Where(root, key) + " : " + (name.empty() ? "(default)" : Utf8(name));
}

std::string DataWords(const RegData& data) {
    if (data.type == REG_DWORD && data.bytes.size() == 4) {
        DWORD n;
        memcpy(&n, data.bytes.data(), 4);
        return "DWORD " + std::to_string(n);
    }
    if (data.type == REG_SZ && data.bytes.size() >= 2 && data.bytes.size() % 2 == 0) {
        std::wstring text(data.bytes.size() / 2, L'\0');
        memcpy(text.data(), data.bytes.data(), data.bytes.size());
        if (text.back() == L'\0' && text.find(L'\0') == text.size() - 1) {
            text.pop_back();
            return "SZ \"" + Shortened(Utf8(text), 60) + "\"";
        }
    }
    return "type " + std::to_string(data.type) + ", " + std::to_string(data.bytes.size()) +
           " bytes";
}

} // namespace

bool ReadBackup(std::string_view bytes, const Coverage& coverage,
                std::vector<RegFileEntry>* entries, RegFileFault* fault) {
    entries->clear();
    auto fail = [fault](int line, std::string what) {
        fault->line = line;
        fault->what = std::move(what);
        return false;
    };
    if (!bytes.starts_with("\xFF\xFE"))
        return fail(1, "not a backup: a backup is UTF-16 text that begins with a byte-order mark");
    bytes.remove_prefix(2);
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    const std::vector<Line> lines = Lines(text);
    if (bytes.size() % 2)
        return fail(static_cast<int>(lines.size()) + (text.empty() || text.ends_with(L'\n')),
                    "the file ends in the middle of a character: it is cut short");
    if (lines.empty() || lines[0].text != kRegHeader)
        return fail(1, "not a backup: the first line is not \"" + Utf8(kRegHeader) + "\"");

    enum { Outside, InCovered, InTree } state = Outside;
    const CoveredKey* section = nullptr;
    RegRoot sectionRoot = HKCU;
    std::wstring sectionKey;
    int end = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const int number = lines[i].number;
        std::wstring_view line = lines[i].text;
        if (end) {
            if (!Blank(line))
                return fail(number, "text after the end of the backup: " + Quote(line));
            continue;
        }
        for (wchar_t c : line)
            if ((c < 0x20 && c != L'\t') || c == 0x7F)
                return fail(number, "not text (a control character)");
        if (!WellFormed(line))
            return fail(number, "not text (half of a UTF-16 pair)");
        if (line == kEndMarker) {
            end = number;
            continue;
        }
        if (Blank(line) || line.starts_with(L';')) {
            state = Outside;
            continue;
        }
        if (line.starts_with(L'[')) {
            if (!line.ends_with(L']') || line.size() < 3)
                return fail(number, "a key line must end with ]: " + Quote(line));
            const bool deletion = line[1] == L'-';
            const std::wstring_view path =
                line.substr(deletion ? 2 : 1).substr(0, line.size() - (deletion ? 3 : 2));
            // Another user's root, HKEY_USERS\<SID>, has a backslash of its own.
            size_t slash = std::wstring_view::npos;
            RegRoot root = HKCU;
            for (RegRoot r : {HKCU, HKLM, HKCR}) {
                const std::wstring name = coverage.RootName(r);
                if (path.size() > name.size() + 1 && path[name.size()] == L'\\' &&
                    SameKeyName(path.substr(0, name.size()), name)) {
                    root = r;
                    slash = name.size();
                }
            }
            if (slash == std::wstring_view::npos)
                return fail(number, Quote(line) + " is outside what a backup covers");
            const std::wstring key(path.substr(slash + 1));
            if (key.ends_with(L'\\') || key.find(L"\\\\") != std::wstring::npos)
                return fail(number, "a key name with an empty part: " + Quote(line));
            const bool inTree = root == HKCR && coverage.TreeOf(key);
            if (deletion) {
                if (!inTree)
                    return fail(number, "deletes " + Where(root, key) +
                                            ", which is outside what a backup covers");
                entries->push_back({RegFileEntry::DeleteKey, number, root, key, {}, {}});
                state = Outside;
                continue;
            }
            section = inTree ? nullptr : coverage.Find(root, key);
            if (!inTree && !section)
                return fail(number, Where(root, key) + " is outside what a backup covers");
            state = inTree ? InTree : InCovered;
            sectionRoot = root;
            sectionKey = key;
            entries->push_back({RegFileEntry::Key, number, root, key, {}, {}});
            continue;
        }
        if (!line.starts_with(L'"') && !line.starts_with(L'@'))
            return fail(number, "not a line of a backup: " + Quote(line));
        if (state == Outside)
            return fail(number, "a value that belongs to no key: " + Quote(line));

        std::wstring name;
        std::wstring_view rest = line;
        if (rest.starts_with(L'@'))
            rest.remove_prefix(1);
        else if (!TakeQuoted(&rest, &name))
            return fail(number, "a value name must be quoted text: " + Quote(line));
        if (!rest.starts_with(L'='))
            return fail(number, "expected = after the value's name: " + Quote(line));
        rest.remove_prefix(1);
        if (state == InCovered) {
            bool covered = false;
            for (const auto& [covers, written] : section->names)
                covered = covered || SameKeyName(covers, name);
            if (!covered)
                return fail(number, ValueWhere(sectionRoot, sectionKey, name) +
                                        " is outside what a backup covers");
        }
        RegFileEntry entry{RegFileEntry::SetValue, number, sectionRoot, sectionKey, name, {}};
        if (rest == L"-") {
            entry.kind = RegFileEntry::DeleteValue;
        } else if (rest.starts_with(L"dword:")) {
            rest.remove_prefix(6);
            if (rest.size() != 8 || !std::all_of(rest.begin(), rest.end(), HexDigit))
                return fail(number, "dword: needs eight hex digits: " + Quote(line));
            DWORD n = 0;
            for (wchar_t c : rest)
                n = n * 16 + HexValue(c);
            entry.data = {REG_DWORD, std::string(4, '\0')};
            memcpy(entry.data.bytes.data(), &n, 4);
        } else if (rest.starts_with(L'"')) {
            std::wstring value;
            if (!TakeQuoted(&rest, &value) || !rest.empty())
                return fail(number, "a text value must be one quoted text: " + Quote(line));
            entry.data = {REG_SZ, std::string((value.size() + 1) * 2, '\0')};
            memcpy(entry.data.bytes.data(), value.data(), value.size() * 2);
        } else if (rest.starts_with(L"hex")) {
            DWORD type = REG_BINARY;
            rest.remove_prefix(3);
            if (rest.starts_with(L'(')) {
                const size_t close = rest.find(L')');
                if (close == std::wstring_view::npos || close < 2 || close > 9 ||
                    !std::all_of(rest.begin() + 1, rest.begin() + close, HexDigit))
                    return fail(number, "hex( needs a type in hex digits: " + Quote(line));
                type = 0;
                for (wchar_t c : rest.substr(1, close - 1))
                    type = type * 16 + HexValue(c);
                rest.remove_prefix(close + 1);
            }
            if (!rest.starts_with(L':'))
                return fail(number, "expected : after hex: " + Quote(line));
            rest.remove_prefix(1);
            // Long data goes on over lines ending in a backslash.
            std::wstring data(rest);
            while (data.ends_with(L'\\')) {
                data.pop_back();
                if (++i == lines.size())
                    return fail(number, "the file ends inside a value: it is cut short");
                std::wstring_view next = lines[i].text;
                next.remove_prefix(std::min(next.find_first_not_of(L' '), next.size()));
                data += next;
            }
            if (!HexBytes(data, &entry.data.bytes))
                return fail(number, "hex data must be two hex digits a byte, comma-separated: " +
                                        Quote(line));
            entry.data.type = type;
        } else {
            return fail(number, "not a value a backup holds: " + Quote(line));
        }
        entries->push_back(std::move(entry));
    }
    if (!end)
        return fail(lines.back().number, "the file ends without its last line \"" +
                                             Utf8(kEndMarker) + "\": it is cut short");
    return true;
}

std::vector<std::string> PendingChanges(const std::vector<RegFileEntry>& entries) {
    std::vector<std::string> changes;
    std::vector<std::wstring> deleted;
    auto gone = [&deleted](const std::wstring& key) {
        for (const std::wstring& d : deleted)
            if (key.size() >= d.size() && SameKeyName(key.substr(0, d.size()), d) &&
                (key.size() == d.size() || key[d.size()] == L'\\'))
                return true;
        return false;
    };
    for (const RegFileEntry& e : entries) {
        switch (e.kind) {
        case RegFileEntry::DeleteKey:
            if (!gone(e.key) && RegKeyExistsW(e.root, e.key))
                changes.push_back("delete key " + Where(e.root, e.key) + " with its subkeys");
            deleted.push_back(e.key);
            break;
        case RegFileEntry::Key:
            // Only a verb's key tells by being there; for every other key
            // the tweaks read values, and an empty key reads as a missing one.
            if (e.root == HKCR && (gone(e.key) || !RegKeyExistsW(e.root, e.key)))
                changes.push_back("create key " + Where(e.root, e.key));
            break;
        case RegFileEntry::SetValue:
        case RegFileEntry::DeleteValue: {
            bool found = false;
            RegData now;
            const LSTATUS status =
                gone(e.key) ? ERROR_SUCCESS : ReadRegValueW(e.root, e.key, e.name, &found, &now);
            const std::string where = ValueWhere(e.root, e.key, e.name);
            if (status != ERROR_SUCCESS)
                changes.push_back("set " + where + " = " + DataWords(e.data) +
                                  " (now unreadable: " + ErrorText(status) + ")");
            else if (e.kind == RegFileEntry::DeleteValue && found)
                changes.push_back("delete " + where + " (now " + DataWords(now) + ")");
            else if (e.kind == RegFileEntry::SetValue && !found)
                changes.push_back("set " + where + " = " + DataWords(e.data) + " (now missing)");
            else if (e.kind == RegFileEntry::SetValue && !(now == e.data))
                changes.push_back("set " + where + " = " + DataWords(e.data) + " (now " +
                                  DataWords(now) + ")");
            break;
        }
        }
    }
    return changes;
}

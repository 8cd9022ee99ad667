// Reading a backup back: the whole file parsed and checked before anything
// of it may be imported.
#include "ctl/formats/RegFile.h"

#include "ctl/formats/RegFileUnits.h"
#include "ctl/output/Text.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace {

struct Line {
    int number;
    Utf16View text;
};

// The file split at CR LF (or a lone LF).
std::vector<Line> Lines(Utf16View text) {
    std::vector<Line> lines;
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        Utf16View line = text.substr(0, end);
        text.remove_prefix(end == Utf16View::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back({++number, line});
    }
    return lines;
}

bool HexDigit(Utf16Char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(Utf16Char c) {
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// A quoted string at the start of `text` with \\ and \" as its only
// escapes; `text` is left after the closing quote.
bool TakeQuoted(Utf16View* text, Utf16String* out) {
    if (!text->starts_with('"'))
        return false;
    out->clear();
    for (size_t i = 1; i < text->size(); ++i) {
        const Utf16Char c = (*text)[i];
        if (c == '"') {
            text->remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 == text->size() || ((*text)[i + 1] != '\\' && (*text)[i + 1] != '"'))
                return false;
            *out += (*text)[++i];
            continue;
        }
        *out += c;
    }
    return false;
}

// "01,ff,..." with nothing else.
bool HexBytes(Utf16View text, std::string* bytes) {
    bytes->clear();
    while (!text.empty()) {
        if (text.size() < 2 || !HexDigit(text[0]) || !HexDigit(text[1]))
            return false;
        bytes->push_back(static_cast<char>(HexValue(text[0]) * 16 + HexValue(text[1])));
        text.remove_prefix(2);
        if (text.empty())
            break;
        if (text[0] != ',' || text.size() == 1)
            return false;
        text.remove_prefix(1);
    }
    return true;
}

bool Blank(Utf16View line) {
    return line.find_first_not_of(UTF16(" \t")) == Utf16View::npos;
}

std::string Quote(Utf16View line) {
    return "\"" + Shortened(Utf8(line), 100) + "\"";
}

bool Refused(RegFileFault* fault, int line, std::string what) {
    fault->line = line;
    fault->what = std::move(what);
    return false;
}

// One pass over the lines of a backup, keeping the section a value line
// belongs to.
class BackupReader {
public:
    BackupReader(const Coverage& coverage, const std::vector<Line>& lines,
                 std::vector<RegFileEntry>* entries, RegFileFault* fault)
        : coverage_(coverage), lines_(lines), entries_(entries), fault_(fault) {}

    bool Read() {
        int end = 0;
        for (i_ = 1; i_ < lines_.size(); ++i_) {
            const int number = lines_[i_].number;
            const Utf16View line = lines_[i_].text;
            if (end) {
                if (!Blank(line))
                    return Fail(number, "text after the end of the backup: " + Quote(line));
                continue;
            }
            for (Utf16Char c : line)
                if ((c < 0x20 && c != '\t') || c == 0x7F)
                    return Fail(number, "not text (a control character)");
            if (!WellFormed(line))
                return Fail(number, "not text (half of a UTF-16 pair)");
            if (line == kEndMarker)
                end = number;
            else if (Blank(line) || line.starts_with(';'))
                state_ = Outside;
            else if (line.starts_with('[') ? !KeyLine(number, line) : !ValueLine(number, line))
                return false;
        }
        if (!end)
            return Fail(lines_.back().number, "the file ends without its last line \"" +
                                                  Utf8(kEndMarker) + "\": it is cut short");
        return true;
    }

private:
    const Coverage& coverage_;
    const std::vector<Line>& lines_;
    std::vector<RegFileEntry>* entries_;
    RegFileFault* fault_;
    size_t i_ = 0;
    enum { Outside, InCovered, InTree } state_ = Outside;
    const CoveredKey* section_ = nullptr;
    RegRoot sectionRoot_ = HKCU;
    Utf16String sectionKey_;
    size_t sectionProfile_ = 0;
    std::map<Utf16String, int> given_; // each value's line, by where it goes

    bool Fail(int line, std::string what) { return Refused(fault_, line, std::move(what)); }

    // The length of the root that `path` begins with, up to its backslash,
    // or npos. Another user's root, HKEY_USERS\<SID>, has one of its own.
    size_t RootOf(Utf16View path, RegRoot* root, size_t* profile) const {
        size_t length = Utf16View::npos;
        auto match = [&](RegRoot r, Utf16View name, size_t n) {
            if (path.size() > name.size() + 1 && path[name.size()] == '\\' &&
                SameCoveredName(path.substr(0, name.size()), name)) {
                *root = r;
                *profile = n;
                length = name.size();
            }
        };
        for (RegRoot r : {HKLM, HKCR})
            match(r, coverage_.RootName(r), 0);
        if (coverage_.profileRoots.empty())
            match(HKCU, coverage_.userRoot, 0);
        for (size_t n = 0; n < coverage_.profileRoots.size(); ++n)
            match(HKCU, coverage_.profileRoots[n], n);
        return length;
    }

    // The import would keep a value's last line, and the check after it
    // compare the first: each value is given once.
    bool Once(const RegFileEntry& e) {
        const std::string root = std::to_string(e.root) + "." + std::to_string(e.profile) + ":";
        const Utf16String where = Utf16String(root.begin(), root.end()) + CoveredFold(e.key) +
                                  Utf16Char(0) + CoveredFold(e.name);
        const auto [first, added] = given_.emplace(where, e.line);
        return added ||
               Fail(e.line, ValueWhere(e.root, e.key, e.name) + " is given twice (first on line " +
                                std::to_string(first->second) + ")");
    }

    bool KeyLine(int number, Utf16View line) {
        if (!line.ends_with(']') || line.size() < 3)
            return Fail(number, "a key line must end with ]: " + Quote(line));
        const bool deletion = line[1] == '-';
        const Utf16View path =
            line.substr(deletion ? 2 : 1).substr(0, line.size() - (deletion ? 3 : 2));
        RegRoot root = HKCU;
        size_t profile = 0;
        const size_t slash = RootOf(path, &root, &profile);
        if (slash == Utf16View::npos)
            return Fail(number, Quote(line) + " is outside what a backup covers");
        const Utf16String key(path.substr(slash + 1));
        if (key.ends_with('\\') || key.find(UTF16("\\\\")) != Utf16String::npos)
            return Fail(number, "a key name with an empty part: " + Quote(line));
        const bool inTree = root == HKCR && coverage_.TreeOf(key);
        if (deletion) {
            // Only a key a tweak deletes whole: never one it reads values of.
            if (!inTree)
                return Fail(number, "deletes " + KeyWhere(root, key) +
                                        ", which is outside what a backup covers");
            entries_->push_back({RegFileEntry::DeleteKey, number, root, key, {}, {}, profile});
            state_ = Outside;
            return true;
        }
        section_ = inTree ? nullptr : coverage_.Find(root, key);
        if (!inTree && !section_)
            return Fail(number, KeyWhere(root, key) + " is outside what a backup covers");
        state_ = inTree ? InTree : InCovered;
        sectionRoot_ = root;
        sectionKey_ = key;
        sectionProfile_ = profile;
        entries_->push_back({RegFileEntry::Key, number, root, key, {}, {}, profile});
        return true;
    }

    bool ValueLine(int number, Utf16View line) {
        if (!line.starts_with('"') && !line.starts_with('@'))
            return Fail(number, "not a line of a backup: " + Quote(line));
        if (state_ == Outside)
            return Fail(number, "a value that belongs to no key: " + Quote(line));
        Utf16String name;
        Utf16View rest = line;
        if (rest.starts_with('@'))
            rest.remove_prefix(1);
        else if (!TakeQuoted(&rest, &name))
            return Fail(number, "a value name must be quoted text: " + Quote(line));
        if (!rest.starts_with('='))
            return Fail(number, "expected = after the value's name: " + Quote(line));
        rest.remove_prefix(1);
        if (state_ == InCovered) {
            bool covered = false;
            for (const auto& [covers, written] : section_->names)
                covered = covered || SameCoveredName(covers, name);
            if (!covered)
                return Fail(number, ValueWhere(sectionRoot_, sectionKey_, name) +
                                        " is outside what a backup covers");
        }
        RegFileEntry entry{RegFileEntry::SetValue, number, sectionRoot_, sectionKey_, name, {},
                           sectionProfile_};
        if (rest == UTF16("-"))
            entry.kind = RegFileEntry::DeleteValue;
        else if (!Data(number, line, rest, &entry.data))
            return false;
        if (!Once(entry))
            return false;
        entries_->push_back(std::move(entry));
        return true;
    }

    bool Data(int number, Utf16View line, Utf16View rest, RegData* data) {
        if (rest.starts_with(UTF16("dword:"))) {
            rest.remove_prefix(6);
            if (rest.size() != 8 || !std::all_of(rest.begin(), rest.end(), HexDigit))
                return Fail(number, "dword: needs eight hex digits: " + Quote(line));
            uint32_t n = 0;
            for (Utf16Char c : rest)
                n = n * 16 + HexValue(c);
            *data = {kTypeDword, std::string(4, '\0')};
            for (int b = 0; b < 4; ++b)
                data->bytes[b] = static_cast<char>((n >> (8 * b)) & 0xFF);
            return true;
        }
        if (rest.starts_with('"')) {
            Utf16String value;
            if (!TakeQuoted(&rest, &value) || !rest.empty())
                return Fail(number, "a text value must be one quoted text: " + Quote(line));
            value += Utf16Char(0);
            *data = {kTypeSz, {}};
            AppendUnits(&data->bytes, value);
            return true;
        }
        if (rest.starts_with(UTF16("hex")))
            return HexData(number, line, rest.substr(3), data);
        return Fail(number, "not a value a backup holds: " + Quote(line));
    }

    bool HexData(int number, Utf16View line, Utf16View rest, RegData* data) {
        unsigned long type = kTypeBinary;
        if (rest.starts_with('(')) {
            const size_t close = rest.find(')');
            if (close == Utf16View::npos || close < 2 || close > 9 ||
                !std::all_of(rest.begin() + 1, rest.begin() + close, HexDigit))
                return Fail(number, "hex( needs a type in hex digits: " + Quote(line));
            type = 0;
            for (Utf16Char c : rest.substr(1, close - 1))
                type = type * 16 + HexValue(c);
            rest.remove_prefix(close + 1);
        }
        if (!rest.starts_with(':'))
            return Fail(number, "expected : after hex: " + Quote(line));
        rest.remove_prefix(1);
        // Long data goes on over lines ending in a backslash.
        Utf16String digits(rest);
        while (digits.ends_with('\\')) {
            digits.pop_back();
            if (++i_ == lines_.size())
                return Fail(number, "the file ends inside a value: it is cut short");
            Utf16View next = lines_[i_].text;
            next.remove_prefix(std::min(next.find_first_not_of(' '), next.size()));
            digits += next;
        }
        if (!HexBytes(digits, &data->bytes))
            return Fail(number,
                        "hex data must be two hex digits a byte, comma-separated: " + Quote(line));
        data->type = type;
        return true;
    }
};

} // namespace

bool ReadBackup(std::string_view bytes, const Coverage& coverage,
                std::vector<RegFileEntry>* entries, RegFileFault* fault) {
    entries->clear();
    if (!bytes.starts_with("\xFF\xFE"))
        return Refused(fault, 1,
                       "not a backup: a backup is UTF-16 text that begins with a byte-order mark");
    bytes.remove_prefix(2);
    const Utf16String text = Units(bytes);
    const std::vector<Line> lines = Lines(text);
    if (bytes.size() % 2)
        return Refused(fault,
                       static_cast<int>(lines.size()) + (text.empty() || text.ends_with('\n')),
                       "the file ends in the middle of a character: it is cut short");
    if (lines.empty() || lines[0].text != kRegHeader)
        return Refused(fault, 1,
                       "not a backup: the first line is not \"" + Utf8(kRegHeader) + "\"");
    return BackupReader(coverage, lines, entries, fault).Read();
}

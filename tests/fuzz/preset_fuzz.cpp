// Fuzz target for the preset reader, with its UTF-8 and UTF-16 decoding.
// What must hold: the faults told are at most the cap, each "line N: ...";
// an accepted preset names each tweak at most once, and every line that is
// not blank or a comment is one of its choices, "name = on" or "name = off"
// for the row it names, read here by a decoding of its own.
#include "ctl/formats/Preset.h"
#include "tweak_names.h"

#include "ctl/formats/Choices.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "preset reader property broken: %s\n", what);
        abort();
    }
}

void AppendUtf8(std::string* out, unsigned long c) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | c >> 6);
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += static_cast<char>(0xE0 | c >> 12);
        *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | c >> 18);
        *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The text of an accepted file as UTF-8: its mark taken off, UTF-16 turned
// into UTF-8 (an accepted file has whole characters and pairs only).
std::string Decoded(std::string_view file) {
    if (file.starts_with("\xEF\xBB\xBF"))
        return std::string(file.substr(3));
    if (!file.starts_with("\xFF\xFE") && !file.starts_with("\xFE\xFF"))
        return std::string(file);
    const bool big = file[0] == '\xFE';
    std::string out;
    for (size_t i = 2; i + 1 < file.size(); i += 2) {
        const unsigned char a = file[i], b = file[i + 1];
        unsigned long c = big ? a << 8 | b : b << 8 | a;
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < file.size()) {
            const unsigned char x = file[i + 2], y = file[i + 3];
            c = 0x10000 + ((c - 0xD800) << 10) + ((big ? x << 8 | y : y << 8 | x) - 0xDC00);
            i += 2;
        }
        AppendUtf8(&out, c);
    }
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Each line that is not blank or a comment is the next choice, as written.
void CheckChoices(std::string_view file, const std::vector<PresetLine>& lines) {
    const std::string text = Decoded(file);
    std::string_view rest = text;
    size_t next = 0;
    for (int number = 1; !rest.empty(); ++number) {
        std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        line = Trimmed(line.substr(0, line.find_first_of("#;")));
        if (line.ends_with('\r'))
            line = Trimmed(line.substr(0, line.size() - 1));
        if (line.empty())
            continue;
        Check(next < lines.size() && lines[next].line == number, "every choice line is read");
        const size_t equals = line.find('=');
        Check(equals != std::string_view::npos, "a choice has =");
        Check(SameWord(Trimmed(line.substr(0, equals)), lines[next].row->name),
              "the choice names its row");
        const std::string_view state = Trimmed(line.substr(equals + 1));
        Check(SameWord(state, lines[next].on ? "on" : "off"), "the choice's state as written");
        ++next;
    }
    Check(next == lines.size(), "no choice without its line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    std::vector<PresetLine> lines;
    std::vector<std::string> errors;
    size_t unshown = 0;
    ParsePreset(file, &lines, &errors, &unshown);
    Check(errors.size() <= kShownErrors, "at most the cap of faults told");
    Check(unshown == 0 || errors.size() == kShownErrors, "faults counted only past the cap");
    for (const std::string& e : errors)
        Check(e.starts_with("line ") && e.find(": ") != std::string::npos,
              "a fault names its line");
    std::set<const TweakRow*> named;
    int previous = 0;
    for (const PresetLine& line : lines) {
        Check(line.row != nullptr, "a choice has its row");
        Check(named.insert(line.row).second, "each tweak at most once");
        Check(line.line > previous, "choices in file order");
        previous = line.line;
    }
    if (errors.empty())
        CheckChoices(file, lines);
    return 0;
}

#include "ctl/Preset.h"

#include "ctl/Text.h"

#include <algorithm>
#include <map>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool IsWord(std::string_view text, std::string_view word) {
    return std::equal(text.begin(), text.end(), word.begin(), word.end(),
                      [](char a, char b) { return (a | 0x20) == b; });
}

// The text of a UTF-16 file with a byte-order mark, as UTF-8; a last odd
// byte is dropped and said in *cut.
std::string FromUtf16(std::string_view bytes, bool bigEndian, bool* cut) {
    *cut = bytes.size() % 2;
    std::wstring wide(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        const unsigned char a = bytes[2 * i], b = bytes[2 * i + 1];
        wide[i] = static_cast<wchar_t>(bigEndian ? a << 8 | b : b << 8 | a);
    }
    return Utf8(wide);
}

size_t Distance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::string NearestName(std::string_view name) {
    std::string best;
    size_t bestDistance = SIZE_MAX;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows) {
            std::string_view candidate = row.name;
            // No closer than the difference in length: a long name is not
            // compared letter by letter.
            auto distance = [&](std::string_view other) {
                const size_t least = name.size() > other.size() ? name.size() - other.size()
                                                                : other.size() - name.size();
                return least >= bestDistance ? least : Distance(name, other);
            };
            size_t d = distance(candidate);
            // A name given without its page is near its row too.
            if (name.find('/') == std::string_view::npos)
                d = std::min(d, distance(candidate.substr(candidate.find('/') + 1)));
            if (d < bestDistance) {
                bestDistance = d;
                best = row.name;
            }
        }
    return best;
}

void ParsePreset(std::string_view file, std::vector<PresetLine>* lines,
                 std::vector<std::string>* errors, size_t* unshown) {
    *unshown = 0;
    std::string decoded;
    bool cut = false;
    if (file.starts_with("\xFF\xFE") || file.starts_with("\xFE\xFF")) {
        decoded = FromUtf16(file.substr(2), file[0] == '\xFE', &cut);
        file = decoded;
    } else if (file.starts_with("\xEF\xBB\xBF")) {
        file.remove_prefix(3);
    }
    std::string_view text = file;
    std::map<const TweakRow*, int> seen;
    int number = 0;
    // Only the faults that are told are put in words.
    auto fault = [&](auto&& what) {
        if (errors->size() < kShownErrors)
            errors->push_back("line " + std::to_string(number) + ": " + what());
        else
            ++*unshown;
    };
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
            fault([] { return std::string("not text (a control character)"); });
            continue;
        }
        if (std::wstring wide; !WideFromUtf8(line, &wide)) {
            fault([] { return std::string("not UTF-8 text"); });
            continue;
        }
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            fault([&] {
                return "expected \"name = on\" or \"name = off\", found \"" + Shortened(line) +
                       "\"";
            });
            continue;
        }
        const std::string_view name = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        const TweakRow* row = FindTweak(name);
        if (!row) {
            fault([&] {
                return "unknown tweak \"" + Shortened(name) + "\"; did you mean " +
                       NearestName(name) + "?";
            });
            continue;
        }
        const bool on = IsWord(value, "on");
        if (!on && !IsWord(value, "off")) {
            fault([&] {
                return "the value of " + std::string(name) + " must be on or off, not \"" +
                       Shortened(value) + "\"";
            });
            continue;
        }
        if (const auto it = seen.find(row); it != seen.end()) {
            fault([&] {
                return std::string(name) + " is given twice (first on line " +
                       std::to_string(it->second) + ")";
            });
            continue;
        }
        seen.emplace(row, number);
        lines->push_back({number, row, on});
    }
    if (cut)
        fault([] { return std::string("the file ends in the middle of a UTF-16 character"); });
}

std::string CurrentPreset() {
    std::string out = "# morvanectl preset: name = on | off, one tweak a line.\r\n";
    for (const TweakTable& table : TweakTables()) {
        out += "\r\n# " + std::string(table.tab) + "\r\n";
        for (const TweakRow& row : table.rows)
            out += std::string(row.name) + " = " + (Holds(row.checkedWhen) ? "on" : "off") + "\r\n";
    }
    return out;
}

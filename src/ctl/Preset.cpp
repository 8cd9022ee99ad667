#include "ctl/Preset.h"

#include "ctl/Text.h"
#include "ctl/Words.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
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

} // namespace

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
    Choices choices;
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
        line = Trimmed(line.substr(0, line.find_first_of("#;")));
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
        bool on = false;
        std::string problem;
        // Past the faults that are told, a fault is only counted.
        const TweakRow* row = choices.Read(name, value, "on line " + std::to_string(number), &on,
                                           errors->size() < kShownErrors ? &problem : nullptr);
        if (!row) {
            fault([&] { return problem; });
            continue;
        }
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

#include "ctl/Preset.h"

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

} // namespace

void ParsePreset(std::string_view text, std::vector<PresetLine>* lines,
                 std::vector<std::string>* errors) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3); // a byte-order mark that some editors write
    Choices choices;
    int number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        auto fault = [&](const std::string& what) {
            errors->push_back("line " + std::to_string(number) + ": " + what);
        };
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
            fault("not text (a control character)");
            continue;
        }
        line = Trimmed(line.substr(0, line.find_first_of("#;")));
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            fault("expected \"name = on\" or \"name = off\", found \"" + std::string(line) + "\"");
            continue;
        }
        const std::string_view name = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        bool on = false;
        std::string problem;
        const TweakRow* row =
            choices.Read(name, value, "on line " + std::to_string(number), &on, &problem);
        if (!row) {
            fault(problem);
            continue;
        }
        lines->push_back({number, row, on});
    }
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

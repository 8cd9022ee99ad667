#include "ctl/formats/Preset.h"

#include "ctl/formats/Choices.h"
#include "ctl/output/Text.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// A preset's text as UTF-8, whatever its encoding.
struct Decoded {
    std::string utf8;
    bool cut = false;               // UTF-16 with a last odd byte, which is dropped
    std::vector<int> halfPairLines; // UTF-16 lines with half of a pair
};

// The text of a UTF-16 file with a byte-order mark.
Decoded FromUtf16(std::string_view bytes, bool bigEndian) {
    Decoded d;
    d.cut = bytes.size() % 2;
    Utf16String wide(bytes.size() / 2, 0);
    for (size_t i = 0; i < wide.size(); ++i) {
        const unsigned char a = bytes[2 * i], b = bytes[2 * i + 1];
        wide[i] = static_cast<Utf16Char>(bigEndian ? a << 8 | b : b << 8 | a);
    }
    // A line break is never half of a pair: each line is checked alone.
    Utf16View rest = wide;
    for (int number = 1; !rest.empty(); ++number) {
        const Utf16View line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        if (!WellFormed(line))
            d.halfPairLines.push_back(number);
    }
    d.utf8 = Utf8(wide);
    return d;
}

Decoded Decode(std::string_view file) {
    if (file.starts_with("\xFF\xFE") || file.starts_with("\xFE\xFF"))
        return FromUtf16(file.substr(2), file[0] == '\xFE');
    if (file.starts_with("\xEF\xBB\xBF"))
        file.remove_prefix(3);
    Decoded d;
    d.utf8 = file;
    return d;
}

// Reads the lines one by one; only the faults that are told are put in
// words, past them a fault is only counted.
class PresetReader {
public:
    PresetReader(std::vector<PresetLine>* lines, std::vector<std::string>* errors, size_t* unshown)
        : lines_(lines), errors_(errors), unshown_(unshown) {}

    template <class Words> void Fault(int number, Words&& what) {
        if (errors_->size() < kShownErrors)
            errors_->push_back("line " + std::to_string(number) + ": " + what());
        else
            ++*unshown_;
    }

    void Line(int number, std::string_view line) {
        if (std::any_of(line.begin(), line.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; }))
            return Fault(number, [] { return std::string("not text (a control character)"); });
        if (Utf16String wide; !WideFromUtf8(line, &wide))
            return Fault(number, [] { return std::string("not UTF-8 text"); });
        line = Trimmed(line.substr(0, line.find_first_of("#;")));
        if (line.empty())
            return;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return Fault(number, [&] {
                return "expected \"name = on\" or \"name = off\", found \"" + Shortened(line) +
                       "\"";
            });
        const std::string_view name = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        bool on = false;
        std::string problem;
        const TweakRow* row = choices_.Read(name, value, "on line " + std::to_string(number), &on,
                                            errors_->size() < kShownErrors ? &problem : nullptr);
        if (!row)
            return Fault(number, [&] { return problem; });
        lines_->push_back({number, row, on});
    }

private:
    std::vector<PresetLine>* lines_;
    std::vector<std::string>* errors_;
    size_t* unshown_;
    Choices choices_;
};

} // namespace

void ParsePreset(std::string_view file, std::vector<PresetLine>* lines,
                 std::vector<std::string>* errors, size_t* unshown) {
    *unshown = 0;
    const Decoded decoded = Decode(file);
    std::string_view text = decoded.utf8;
    PresetReader reader(lines, errors, unshown);
    int number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (std::binary_search(decoded.halfPairLines.begin(), decoded.halfPairLines.end(), number))
            reader.Fault(number, [] { return std::string("not text (half of a UTF-16 pair)"); });
        else
            reader.Line(number, line);
    }
    if (decoded.cut)
        reader.Fault(number, [] {
            return std::string("the file ends in the middle of a UTF-16 character");
        });
}

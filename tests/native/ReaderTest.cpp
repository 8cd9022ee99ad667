// The preset reader on the build machine, for what fuzzing found: a UTF-16
// preset with half of a surrogate pair is refused on that line, whatever
// the line holds, and a whole pair is text like any other.
#include "ctl/formats/Preset.h"
#include "tweak_names.h"

#include <gtest/gtest.h>

namespace {

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(PresetReaderTest, HalfASurrogatePairIsRefusedOnItsLine) {
    struct Case {
        const char* what;
        std::u16string text;
        std::vector<std::string> errors;
        size_t chosen;
    };
    const std::vector<Case> cases = {
        {"high half in a comment",
         u"# a\xD800 b\r\nusability/show-hidden-files = on\r\n",
         {"line 1: not text (half of a UTF-16 pair)"},
         1},
        {"low half in a name",
         u"usability/show-hidden-files = on\r\nx\xDC00y = off\r\n",
         {"line 2: not text (half of a UTF-16 pair)"},
         1},
        {"high half before the line break",
         u"# \xDBFF\nusability/show-hidden-files = on\n",
         {"line 1: not text (half of a UTF-16 pair)"},
         1},
        {"high half last",
         u"usability/show-hidden-files = on\n\xD83D",
         {"line 2: not text (half of a UTF-16 pair)"},
         1},
        {"a whole pair in a comment", u"# \xD83D\xDE00\nusability/show-hidden-files = on\n", {}, 1},
    };
    for (const Case& c : cases)
        for (bool bigEndian : {false, true}) {
            std::vector<PresetLine> lines;
            std::vector<std::string> errors;
            size_t unshown = 0;
            ParsePreset(Utf16(c.text, bigEndian), &lines, &errors, &unshown);
            EXPECT_EQ(errors, c.errors) << c.what << (bigEndian ? " (big-endian)" : "");
            EXPECT_EQ(lines.size(), c.chosen) << c.what;
            EXPECT_EQ(unshown, 0u) << c.what;
        }
}

} // namespace

#include "ctl/Console.h"

#include "ctl/Text.h"

#include <cstdio>

std::string Escaped(std::string_view text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        char32_t c;
        const size_t length = NextCodePoint(text, at, &c);
        char escape[12] = "";
        if (c == '\n' || c == '\r' || c == '\t')
            snprintf(escape, sizeof(escape), "\\%c", c == '\n' ? 'n' : c == '\r' ? 'r' : 't');
        else if (IsControl(c))
            snprintf(escape, sizeof(escape), c < 0x80 ? "\\x%02X" : "\\u%04X",
                     static_cast<unsigned>(c));
        out += *escape ? std::string(escape) : std::string(text.substr(at, length));
        at += length;
    }
    return out;
}

ErrorLine::~ErrorLine() {
    const bool ended = !text_.empty() && text_.back() == '\n';
    err_ << Escaped(ended ? std::string_view(text_).substr(0, text_.size() - 1) : text_)
         << (ended ? "\n" : "");
}

#include "ctl/output/Text.h"

#include <cstdio>

namespace {

bool IsHigh(Utf16Char c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(Utf16Char c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | (c >> 6));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += static_cast<char>(0xE0 | (c >> 12));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (c >> 18));
        *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

bool WideFromUtf8(std::string_view utf8, Utf16String* wide) {
    wide->clear();
    wide->reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length;
        char32_t c, least;
        if (lead < 0x80) {
            wide->push_back(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, c = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > utf8.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (c >= 0x10000) {
            wide->push_back(static_cast<Utf16Char>(0xD800 + ((c - 0x10000) >> 10)));
            wide->push_back(static_cast<Utf16Char>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            wide->push_back(static_cast<Utf16Char>(c));
        }
        i += length;
    }
    return true;
}

Utf16String Wide(std::string_view utf8) {
    Utf16String wide;
    WideFromUtf8(utf8, &wide);
    return wide;
}

std::string Utf8(Utf16View wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const Utf16Char c = wide[i];
        if (IsHigh(c) && i + 1 < wide.size() && IsLow(wide[i + 1])) {
            AppendUtf8(&out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            AppendUtf8(&out, 0xFFFD);
        } else {
            AppendUtf8(&out, c);
        }
    }
    return out;
}

bool WellFormed(Utf16View wide) {
    for (size_t i = 0; i < wide.size(); ++i) {
        if (IsHigh(wide[i]) && i + 1 < wide.size() && IsLow(wide[i + 1]))
            ++i;
        else if (IsHigh(wide[i]) || IsLow(wide[i]))
            return false;
    }
    return true;
}

std::string Shortened(std::string_view utf8, size_t limit) {
    if (utf8.size() <= limit)
        return std::string(utf8);
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return std::string(utf8.substr(0, end)) + "\xE2\x80\xA6";
}

size_t NextCodePoint(std::string_view utf8, size_t at, char32_t* c) {
    Utf16String wide;
    for (size_t length = 1; length <= 4 && at + length <= utf8.size(); ++length) {
        if (!WideFromUtf8(utf8.substr(at, length), &wide) || wide.empty())
            continue;
        *c = wide.size() == 2 ? 0x10000 + ((char32_t(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00)
                              : char32_t(wide[0]);
        return length;
    }
    *c = 0xFFFD;
    return 1;
}

bool IsControl(char32_t c) {
    const bool bidi = c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
                      (c >= 0x2066 && c <= 0x2069);
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || bidi;
}

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (text[at] >= 0x20 && text[at] < 0x7F) {
            out += text[at++];
            continue;
        }
        char32_t c;
        const size_t length = NextCodePoint(text, at, &c);
        char escape[12] = "";
        if (c == '\n' || c == '\r' || c == '\t')
            snprintf(escape, sizeof(escape), "\\%c", c == '\n' ? 'n' : c == '\r' ? 'r' : 't');
        else if (IsControl(c))
            snprintf(escape, sizeof(escape), c < 0x80 ? "\\x%02X" : "\\u%04X",
                     static_cast<unsigned>(c));
        out += *escape ? std::string_view(escape) : text.substr(at, length);
        at += length;
    }
    return out;
}

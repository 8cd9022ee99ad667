#include "ctl/formats/RegFile.h"

#include "ctl/formats/RegFileUnits.h"
#include "ctl/output/Text.h"

#include <cstdint>

namespace {

constexpr Utf16Char kEol[] = UTF16("\r\n");
constexpr size_t kWrapAt = 76; // regedit's own line width for hex data

Utf16String Quoted(Utf16View text) {
    Utf16String out = UTF16("\"");
    for (Utf16Char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

Utf16String NameOf(const Utf16String& name) {
    return name.empty() ? Utf16String(UTF16("@")) : Quoted(name);
}

// UTF-16 text that a quoted string gives back unit for unit: one
// terminating NUL and nothing that would break or end the line.
bool PlainText(const std::string& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2)
        return false;
    Utf16String text = Units(bytes);
    if (text.back() != 0)
        return false;
    text.pop_back();
    return FitsOnALine(text);
}

Utf16String HexLine(Utf16String line, const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    size_t width = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        line += static_cast<Utf16Char>(kDigits[byte >> 4]);
        line += static_cast<Utf16Char>(kDigits[byte & 15]);
        width += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            ++width;
            if (width >= kWrapAt) {
                line += UTF16("\\");
                line += kEol;
                line += UTF16("  ");
                width = 2;
            }
        }
    }
    return line;
}

Utf16String Ascii(const std::string& text) {
    return Utf16String(text.begin(), text.end());
}

std::string Hex(unsigned long n, int digits) {
    std::string out;
    do {
        out.insert(out.begin(), "0123456789abcdef"[n & 15]);
        n >>= 4;
    } while (n || static_cast<int>(out.size()) < digits);
    return out;
}

} // namespace

std::string KeyWhere(RegRoot root, Utf16View key) {
    return std::string(root == HKLM ? "HKLM" : root == HKCR ? "HKCR" : "HKCU") + "\\" + Utf8(key);
}

std::string ValueWhere(RegRoot root, Utf16View key, Utf16View name) {
    return KeyWhere(root, key) + " : " + (name.empty() ? "(default)" : Utf8(name));
}

bool FitsOnALine(Utf16View text) {
    for (Utf16Char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return WellFormed(text);
}

Utf16String RegLine(const Utf16String& name, const RegData& data) {
    const Utf16String line = NameOf(name) + UTF16("=");
    if (data.type == kTypeDword && data.bytes.size() == 4) {
        uint32_t n = 0;
        for (int b = 3; b >= 0; --b)
            n = n << 8 | static_cast<unsigned char>(data.bytes[b]);
        return line + Ascii("dword:" + Hex(n, 8));
    }
    if (data.type == kTypeSz && PlainText(data.bytes)) {
        Utf16String text = Units(data.bytes);
        text.pop_back();
        return line + Quoted(text);
    }
    return HexLine(line +
                       Ascii(data.type == kTypeBinary ? "hex:" : "hex(" + Hex(data.type, 1) + "):"),
                   data.bytes);
}

Utf16String RegDeletionLine(const Utf16String& name) {
    return NameOf(name) + UTF16("=-");
}

Utf16String EntriesText(const Coverage& coverage, const std::vector<RegFileEntry>& entries,
                        const Utf16String& notes) {
    Utf16String text = Utf16String(kRegHeader) + kEol + notes;
    for (const RegFileEntry& e : entries) {
        const bool profile = e.root == HKCU && !coverage.profileRoots.empty();
        if (e.kind == RegFileEntry::DeleteKey || e.kind == RegFileEntry::Key)
            text += kEol + Utf16String(e.kind == RegFileEntry::Key ? UTF16("[") : UTF16("[-")) +
                    (profile ? coverage.profileRoots[e.profile] : coverage.RootName(e.root)) +
                    UTF16("\\") + e.key + UTF16("]");
        else
            text += e.kind == RegFileEntry::SetValue ? RegLine(e.name, e.data)
                                                     : RegDeletionLine(e.name);
        text += kEol;
    }
    return text + kEol + kEndMarker + kEol;
}

Utf16String RegComment(std::string_view text) {
    return UTF16("; ") + Wide(Escaped(text));
}

std::string FileBytes(const Utf16String& text) {
    std::string bytes = "\xFF\xFE";
    AppendUnits(&bytes, text);
    return bytes;
}

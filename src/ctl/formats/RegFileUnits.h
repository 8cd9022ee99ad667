// What the reader and the writer of backup files share: the file's bytes as
// UTF-16 units and back, and the value types it writes by name. Only
// RegFile.cpp and RegFileRead.cpp include it.
#pragma once

#include "ctl/formats/Utf16.h"

#include <string>
#include <string_view>

inline constexpr unsigned long kTypeSz = 1, kTypeBinary = 3, kTypeDword = 4;

// Little-endian UTF-16 units of `bytes`; a last odd byte is left out.
inline Utf16String Units(std::string_view bytes) {
    Utf16String text(bytes.size() / 2, 0);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<Utf16Char>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

inline void AppendUnits(std::string* bytes, Utf16View text) {
    for (Utf16Char c : text) {
        bytes->push_back(static_cast<char>(c & 0xFF));
        bytes->push_back(static_cast<char>((c >> 8) & 0xFF));
    }
}

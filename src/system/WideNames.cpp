#include "system/WideNames.h"

#include <windows.h>

bool WideName(const std::string& utf8, std::wstring* wide) {
    wide->clear();
    if (utf8.empty())
        return true;
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    wide->resize(length);
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide->data(),
                               length) == length;
}

std::string Utf8Name(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(length > 0 ? length : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

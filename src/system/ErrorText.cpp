#include "system/ErrorText.h"

std::string ErrorText(DWORD code) {
    char buffer[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    while (length &&
           (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' || buffer[length - 1] == ' '))
        --length;
    return (length ? std::string(buffer, length) : std::string("error")) + " (" +
           std::to_string(code) + ")";
}

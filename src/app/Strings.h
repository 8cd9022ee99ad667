// A string of the program's string table.
#pragma once

#include "framework/App.h"

#include <string>

inline std::string ResourceString(UINT id) {
    char text[256];
    const int length = LoadStringA(AfxGetResourceHandle(), id, text, sizeof(text));
    return std::string(text, length > 0 ? length : 0);
}

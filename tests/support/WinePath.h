// Programs started from the build machine get Unix paths; under Wine those
// are reached through the Z: drive.
#pragma once

#include <string>

inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path.front() == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

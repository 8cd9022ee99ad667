// What a path names, told from its text alone, before any file is touched.
#pragma once

#include <string>

// True when the path's last part is a name the system keeps for a device
// (CON, NUL, COM1 and so on, with any extension): it opens the device,
// never a file.
bool NamesDevice(const std::string& path);
// A drive's "X:\..." or a share's "\\server\...": a path that means the
// same whatever the current folder is.
bool AbsolutePath(const std::string& path);

// Whole-file reads and writes for backups and presets.
#pragma once

#include <windows.h>

#include <string>

// ERROR_SUCCESS or the system's error code.
DWORD ReadWholeFile(const std::string& path, std::string* text);
// Never replaces an existing file (ERROR_FILE_EXISTS then); a file that
// cannot be written whole is removed again.
DWORD WriteNewFile(const std::string& path, const std::string& text);
// Replaces the file only once the new text is written whole, through a
// temporary file of its own beside it.
DWORD SaveFile(const std::string& path, const std::string& text);

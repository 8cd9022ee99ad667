// Whole-file reads, and single-file writes, for backups and presets. Paths are UTF-8 and
// go to the system as UTF-16, so any name works.
#pragma once

#include "ctl/formats/PathNames.h"

#include <windows.h>

#include <string>

// ERROR_SUCCESS or the system's error code.
DWORD ReadWholeFile(const std::string& path, std::string* text);
// One file through WriteFiles (ctl/formats/FileWriting.h): never replaces an
// existing file (ERROR_FILE_EXISTS then).
DWORD WriteNewFile(const std::string& path, const std::string& text,
                   SECURITY_ATTRIBUTES* security = nullptr);
// A new file named stem + extension, or stem-2 + extension and so on when
// that exists: created exclusively, so two runs never take the same name.
// *path is the name taken.
DWORD WriteNewNumberedFile(const std::string& stem, const std::string& extension,
                           const std::string& text, std::string* path,
                           SECURITY_ATTRIBUTES* security = nullptr);
// One file through WriteFiles, replacing an existing one; into a folder
// that exists only (ERROR_PATH_NOT_FOUND otherwise).
DWORD SaveFile(const std::string& path, const std::string& text);
// A new file of the text in the temporary folder; *path is its UTF-16 name.
DWORD WriteTemporaryFile(const std::string& text, std::wstring* path);
// True when a file or folder of that name exists.
bool FileExists(const std::string& path);
// True when a file that is no folder and no device exists under that name.
bool RegularFileExists(const std::string& path);

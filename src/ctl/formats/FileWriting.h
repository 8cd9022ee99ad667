// The one rule for every file morvanectl writes: all of them or none, and
// never half a file. Paths are UTF-8 and reach the system as UTF-16.
#pragma once

#include "ctl/output/Console.h"

#include <windows.h>

#include <string>
#include <vector>

struct FileToWrite {
    std::string path; // UTF-8
    std::string bytes;
    // Its own security, where what it would inherit is not enough.
    SECURITY_ATTRIBUTES* security = nullptr;
};

// All or none: each file to a new temporary beside it, then renamed into place; an existing
// file is refused (ERROR_FILE_EXISTS) unless replace; missing parent folders are made (and
// removed again on failure); if a rename fails, files already replaced are put back. A
// device's name (ERROR_BAD_DEVICE), a folder (ERROR_DIRECTORY) and a read-only file
// (ERROR_FILE_READ_ONLY) are refused whatever replace says.
// ERROR_SUCCESS, or the status with *failed naming the file.
DWORD WriteFiles(const std::vector<FileToWrite>& files, bool replace, std::string* failed);

// What a status of WriteFiles means for the file, as a command says it:
// "PATH is a folder", "PATH exists already", "cannot write PATH: why".
std::string WriteFailure(DWORD status, const std::string& path);

// WriteFiles for one file, as a command says it: false, with why (and with
// `refusal` for a file that exists), when it was not written.
bool WriteOut(Console& c, const std::string& path, const std::string& bytes, bool replace,
              const char* refusal);

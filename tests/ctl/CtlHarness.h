// morvanectl in-process for tests: one call with its exit code and both
// streams, and temporary files that are gone when a test ends.
#pragma once

#include "ctl/Commands.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

struct Result {
    int code;
    std::string out, err;
};

inline Result Ctl(std::vector<std::string> args) {
    Result r;
    Writer out(&r.out), err(&r.err);
    r.code = RunCtl(args, out, err);
    return r;
}

// A file in the temporary folder that is gone when the test ends.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& name) {
        char folder[MAX_PATH];
        GetTempPathA(sizeof(folder), folder);
        path = std::string(folder) + "morvanectl-test-" + std::to_string(GetCurrentProcessId()) +
               "-" + name;
        DeleteFileA(path.c_str());
    }
    ~TempFile() { DeleteFileA(path.c_str()); }
    void Write(const std::string& text) const { std::ofstream(path, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists() const { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

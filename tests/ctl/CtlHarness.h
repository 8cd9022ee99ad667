// morvanectl in-process for tests: one call with its exit code and both
// streams, and temporary files that are gone when a test ends.
#pragma once

#include "ctl/Commands.h"
#include "ctl/ExitCodes.h"
#include "ctl/keep/Kept.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
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

// A table's words, each that `named` holds replaced by what it stands for.
inline std::vector<std::string> Substituted(const std::vector<std::string>& words,
                                            const std::map<std::string, std::string>& named) {
    std::vector<std::string> args;
    for (const std::string& word : words)
        args.push_back(named.count(word) ? named.at(word) : word);
    return args;
}

// One row of a table: the exit code, every text said on either stream, and
// nothing on standard output when the input is refused.
inline Result CtlSaying(const std::vector<std::string>& args, int code,
                        const std::vector<std::string>& said) {
    const Result r = Ctl(args);
    EXPECT_EQ(r.code, code) << r.out << r.err;
    for (const std::string& text : said)
        EXPECT_NE((r.out + r.err).find(text), std::string::npos) << text << "\n" << r.out << r.err;
    EXPECT_TRUE(code != kBadInput || r.out.empty()) << r.out;
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

// A preset where keep leaves one, so that applying it is a kept run, on a
// machine whose profile list names no profile: its path, or empty when the
// kept folder cannot be made. The caller deletes it.
inline std::string KeptPresetFile(const std::string& name, const std::string& text) {
    if (!MakeDataFolder(KeptFolder()).empty())
        return {};
    const std::string path = KeptFolder() + "\\" + name;
    std::ofstream(path, std::ios::binary) << text;
    HKEY list;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0, nullptr,
                        0, KEY_READ, nullptr, &list, nullptr) == ERROR_SUCCESS)
        RegCloseKey(list);
    return path;
}

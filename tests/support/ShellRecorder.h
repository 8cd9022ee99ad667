// Records every shell request the program makes instead of starting it.
#pragma once

#include "system/Shell.h"

#include <windows.h>

#include <string>
#include <vector>

struct ShellRequest {
    bool hasOwner;
    bool hasVerb;
    std::string file;
    std::string parameters; // "<null>" when none was given
    bool hasDirectory;
    int show;
    bool operator==(const ShellRequest&) const = default;
};

// The request as a run phrase makes it: no owner, default verb, no directory.
ShellRequest Started(const std::string& file, const std::string& parameters, int show);

class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    // Taken so far, and forgotten.
    std::vector<ShellRequest> Take();
    // What the next requests return; 2 (file not found) makes them fail.
    void FailWith(int code) { s_result = code; }

private:
    static HINSTANCE WINAPI Record(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    ShellExecuteFn m_previous;
    static std::vector<ShellRequest> s_requests;
    static int s_result;
};

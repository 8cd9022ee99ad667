// Stands in for net.exe and regsvr32.exe in a throwaway prefix: appends the
// command line it was started with to one log, so a test sees exactly what
// the program ran, and runs nothing. It ends with the exit code that the
// variable MORVANE_RECORDER_EXIT names (0 without it), so a test can also see
// how a failed start is reported. With MORVANE_RECORDER_HOLD naming an event,
// it stays running until that is set (a minute at most), ignoring Ctrl+C, so
// a test can act while the program waits for it.
#include "e2e/Driver.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

void Hold() {
    char name[64] = "";
    if (!GetEnvironmentVariableA("MORVANE_RECORDER_HOLD", name, sizeof(name)))
        return;
    // A Ctrl+C for the program that waits is not for the stand-in.
    SetConsoleCtrlHandler(nullptr, TRUE);
    if (HANDLE hEvent = OpenEventA(SYNCHRONIZE, FALSE, name)) {
        WaitForSingleObject(hEvent, 60000);
        CloseHandle(hEvent);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* commandLine = GetCommandLineA();
    // One write per line with append access: lines from processes running at
    // the same time stay whole.
    const std::string line = std::string(commandLine) + "\r\n";
    char code[16] = "0";
    GetEnvironmentVariableA("MORVANE_RECORDER_EXIT", code, sizeof(code));
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE hLog =
            CreateFileA(e2e::kRecorderLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hLog != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(hLog);
            Hold();
            return atoi(code);
        }
        Sleep(10);
    }
    return 1;
}
